#include "wizard_test_util.h"

#include "common/unique_handle.h"
#include "test_env.h"

#include <gtest/gtest.h>

std::string Scratch() {
    return MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

void SetAppPath(const char* folder, HKEY root) {
    const char key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe";
    HKEY opened = NULL;
    if (folder == NULL) {
        RegDeleteKeyA(root, key);
    } else if (RegCreateKeyExA(root, key, 0, NULL, 0, KEY_SET_VALUE, NULL, &opened, NULL) ==
               ERROR_SUCCESS) {
        RegSetValueExA(opened, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                       lstrlenA(folder) + 1);
        RegCloseKey(opened);
    }
}

std::string InstallCompanions(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), NULL);
    const std::string dir = folder.back() == '\\' ? folder : folder + '\\';
    CopyFileA(BinPath("template.scr").c_str(), (dir + "template.scr").c_str(), FALSE);
    CopyFileA(BinPath("setup.ex_").c_str(), (dir + "setup.ex_").c_str(), FALSE);
    SetAppPath(folder.c_str());
    return dir;
}

std::string WriteMovie(const std::string& path, const char* signature, size_t size) {
    const size_t length = lstrlenA(signature);
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i < length ? signature[i] : i * 31 + 7);
    }
    WriteFileBytes(path, bytes);
    return path;
}

std::vector<unsigned char> Bytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

std::string FileText(const std::string& path) {
    const std::vector<unsigned char> bytes = Bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<unsigned char> ResourceBytes(const std::string& file, LPCSTR type, WORD id) {
    Library module(LoadLibraryExA(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC found = module.Valid() ? FindResourceExA(module.Get(), type, MAKEINTRESOURCEA(id),
                                                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))
                                 : NULL;
    if (found == NULL) {
        return std::vector<unsigned char>();
    }
    const unsigned char* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module.Get(), found)));
    return std::vector<unsigned char>(data, data + SizeofResource(module.Get(), found));
}

std::string LoadStringFrom(const std::string& file, UINT id) {
    Library module(LoadLibraryExA(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE));
    char text[MAX_PATH] = {0};
    if (module.Valid()) {
        LoadStringA(module.Get(), id, text, sizeof(text));
    }
    return text;
}

bool NoTemporaryLeft(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return true;
    }
    FindClose(search);
    return false;
}
