#include "movie_check.h"

#include "companion.h"

#include "../common/unique_handle.h"

MovieCheck CheckMovie(const std::string& displayName, const std::string& moviePath) {
    if (moviePath.size() > kMaxPathField) {
        return MovieCheck::PathTooLong;
    }
    if (displayName.size() > kMaxNameField) {
        return MovieCheck::NameTooLong;
    }
    if (displayName.empty()) {
        return MovieCheck::EmptyName;
    }
    if (moviePath.empty()) {
        return MovieCheck::EmptyMovie;
    }
    if (!FileExists(moviePath.c_str())) {
        return MovieCheck::NotFound;
    }
    FileHandle file(CreateFileA(moviePath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, 0, NULL));
    if (!file.Valid()) {
        return MovieCheck::NotFound;
    }
    char signature[4] = {0};
    DWORD read = 0;
    if (!ReadFile(file.Get(), signature, 3, &read, NULL) || read < 3) {
        return MovieCheck::TooShort;
    }
    file.Reset(INVALID_HANDLE_VALUE);
    // Only the uncompressed signature counts, and with its case.
    if (signature[0] != 'F' || signature[1] != 'W' || signature[2] != 'S') {
        return MovieCheck::NotFlash;
    }
    return MovieCheck::Ok;
}

OutputCheck CheckOutputs(const std::string& projectPath, const std::string& installerPath,
                         const std::string& moviePath) {
    char templatePath[MAX_PATH];
    char setupPath[MAX_PATH];
    GetCompanionPath(kTemplateFile, templatePath);
    GetCompanionPath(kSetupFile, setupPath);
    const char* const inputs[] = {moviePath.c_str(), templatePath, setupPath};
    if (SameFile(installerPath.c_str(), projectPath.c_str())) {
        return OutputCheck::InstallerIsInput;
    }
    for (const char* input : inputs) {
        if (SameFile(installerPath.c_str(), input)) {
            return OutputCheck::InstallerIsInput;
        }
    }
    for (const char* input : inputs) {
        if (SameFile(projectPath.c_str(), input)) {
            return OutputCheck::ProjectIsInput;
        }
    }
    return OutputCheck::Ok;
}
