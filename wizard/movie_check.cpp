#include "movie_check.h"

#include "companion.h"

#include "../common/unique_handle.h"
#include "../player/core/engine.h"

#include <new>
#include <vector>

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

std::string MoviePartsNotPlayed(const std::string& moviePath) {
    FileHandle file(CreateFileA(moviePath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, 0, NULL));
    DWORD high = 0;
    const DWORD size = file.Valid() ? GetFileSize(file.Get(), &high) : 0;
    // A compressed movie is never larger than the player's limit on the uncompressed one.
    if (!file.Valid() || size == INVALID_FILE_SIZE || high != 0 || size < 8 ||
        size > engine::kMaxMovieBytes + 8) {
        return std::string();
    }
    std::vector<uint8_t> bytes;
    std::vector<std::string> parts;
    try {
        bytes.resize(size);
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.data(), size, &read, NULL) || read != size) {
            return std::string();
        }
        file.Reset(INVALID_HANDLE_VALUE);
        parts = engine::PartsNotPlayed(bytes.data(), bytes.size());
        std::string joined;
        for (const std::string& part : parts) {
            joined += (joined.empty() ? "" : ", ") + part;
        }
        return joined;
    } catch (const std::bad_alloc&) {
        // Not knowing is no reason to hold the author up.
        return std::string();
    }
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
