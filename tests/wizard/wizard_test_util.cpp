#include "wizard_test_util.h"

#include "test_env.h"

namespace {
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
}

void SetAppPath(const std::string& folder) {
    if (folder.empty()) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
        return;
    }
    HKEY key = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
}

std::string InstallCompanions(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), NULL);
    std::string dir = folder;
    if (dir.back() != '\\') {
        dir += '\\';
    }
    CopyFileA(BinPath("template.scr").c_str(), (dir + "template.scr").c_str(), FALSE);
    CopyFileA(BinPath("setup.ex_").c_str(), (dir + "setup.ex_").c_str(), FALSE);
    SetAppPath(folder);
    return dir;
}

std::string WriteMovie(const std::string& path, const char* signature, size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 31 + 7) & 0xFF);
    }
    for (size_t i = 0; signature[i] != '\0' && i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(signature[i]);
    }
    WriteFileBytes(path, bytes);
    return path;
}

bool ResourceBytes(const std::string& file, LPCSTR type, LPCSTR name,
                   std::vector<unsigned char>* bytes) {
    bytes->clear();
    HMODULE module = LoadLibraryExA(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) {
        return false;
    }
    HRSRC found = FindResourceExA(module, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found != NULL) {
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        bytes->assign(data, data + SizeofResource(module, found));
    }
    FreeLibrary(module);
    return found != NULL;
}

std::string LoadStringFrom(const std::string& file, UINT id) {
    HMODULE module = LoadLibraryExA(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    char text[MAX_PATH] = {0};
    if (module != NULL) {
        LoadStringA(module, id, text, sizeof(text));
        FreeLibrary(module);
    }
    return text;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const char* prefix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}
