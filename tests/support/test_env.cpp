#include "test_env.h"

#include <cstdlib>

std::string WindowsPathFromEnvironment(const char* variable) {
    const char* value = getenv(variable);
    std::string path = value != NULL ? value : "";
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

namespace {

// A folder from the environment, with its trailing backslash.
std::string FromEnvironment(const char* variable) {
    std::string path = WindowsPathFromEnvironment(variable);
    if (!path.empty() && path.back() != '\\') {
        path += '\\';
    }
    return path;
}

} // namespace

std::string BinPath(const char* name) {
    return FromEnvironment("FLICKWELL_BIN_DIR") + name;
}
std::string GeneratedPath(const char* name) {
    return FromEnvironment("FLICKWELL_GENERATED_DIR") + name;
}
std::string SourcePath(const char* relative) {
    std::string path = FromEnvironment("FLICKWELL_SOURCE_DIR") + relative;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}
std::string MoviePath(const char* name) {
    return FromEnvironment("FLICKWELL_MOVIES_DIR") + name;
}

std::string OutputPath(const char* name) {
    std::string dir = FromEnvironment("FLICKWELL_OUTPUT_DIR");
    // Make every level: the folder lies in the build tree, outside the prefix.
    for (size_t i = 3; i < dir.size(); ++i) {
        if (dir[i] == '\\') {
            CreateDirectoryA(dir.substr(0, i).c_str(), NULL);
        }
    }
    return dir + name;
}

std::string TempDir() {
    char path[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, path);
    return path;
}

std::string MakeScratchDir(const char* name) {
    std::string dir = TempDir() + name;
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + "\\";
}

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD size = GetFileSize(file, NULL);
    bytes->resize(size);
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(file, bytes->data(), size, &read, NULL);
    CloseHandle(file);
    return ok && read == size;
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool FileExistsAt(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunAndWait(const std::string& commandLine, DWORD timeoutMs) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return static_cast<DWORD>(-1000);
    }
    DWORD code = static_cast<DWORD>(-1001);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
