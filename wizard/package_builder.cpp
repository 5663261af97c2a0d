#include "package_builder.h"

#include "companion.h"
#include "movie_check.h"

#include "../common/package_layout.h"
#include "../common/string_table_block.h"

namespace {

const char kPreviewFile[] = "preview.scr";

// Joins a folder and a name when the whole fits MAX_PATH; a cut path would name another
// file, so it is refused instead.
bool JoinPath(const std::string& folder, const char* name, char (&path)[MAX_PATH]) {
    ZeroMemory(path, sizeof(path));
    if (folder.size() + lstrlenA(name) >= MAX_PATH) {
        return false;
    }
    lstrcpyA(path, folder.c_str());
    lstrcatA(path, name);
    return true;
}

bool FitsPath(const char* path) {
    return path != NULL && lstrlenA(path) < MAX_PATH;
}

} // namespace

void FormatFileStem(DWORD tickCount, char (&stem)[16]) {
    ZeroMemory(stem, sizeof(stem));
    wsprintfA(stem, "qmv%05u", static_cast<unsigned>(tickCount));
    stem[package::kFileStemLength] = '\0';
}

BuildPlatform PackageBuilder::CurrentPlatform() {
    BuildPlatform platform;
    platform.codePage = StringTableBlock::ThreadCodePage();
    platform.tickCount = GetTickCount();
    char temp[MAX_PATH] = {0};
    DWORD length = GetTempPathA(sizeof(temp), temp);
    platform.tempDir = length > 0 && length < sizeof(temp) ? temp : "";
    return platform;
}

void FindCompanion(const BuildPlatform& platform, const char* fileName, char (&path)[MAX_PATH]) {
    if (platform.companionDir.empty()) {
        GetCompanionPath(fileName, path);
    } else {
        CompanionPathIn(platform.companionDir.c_str(), fileName, path);
    }
}

bool PackageBuilder::Build(const char* moviePath, const char* destination,
                           const char* displayName) {
    return BuildWith(moviePath, destination, displayName, CurrentPlatform());
}

void PackageBuilder::EndIfOpen() {
    if (updater_.IsOpen()) {
        updater_.End(false);
    }
}

bool PackageBuilder::BuildWith(const char* moviePath, const char* destination,
                               const char* displayName, const BuildPlatform& platform) {
    // Inputs that could not be what the user meant are refused before any file is
    // touched: paths that do not fit MAX_PATH, and a name the installer cannot show.
    const int nameLength = displayName != NULL ? lstrlenA(displayName) : 0;
    if (!FitsPath(moviePath) || !FitsPath(destination) || nameLength == 0 ||
        nameLength > static_cast<int>(kMaxNameField)) {
        return false;
    }
    char tempName[32] = {0};
    wsprintfA(tempName, "qmv%05u.scr", static_cast<unsigned>(platform.tickCount));
    char temp[MAX_PATH];
    if (!JoinPath(platform.tempDir, tempName, temp)) {
        return false;
    }

    char source[MAX_PATH];
    FindCompanion(platform, kTemplateFile, source);
    if (!CopyFileA(source, temp, FALSE)) {
        return false;
    }
    TempFileGuard guard(temp);

    // The movie and the display name go into the temporary screen saver.
    if (!updater_.Begin(temp, false) ||
        !updater_.UpdateFromFile(package::kMovieType, MAKEINTRESOURCEA(package::kMovieId),
                                 moviePath)) {
        EndIfOpen();
        return false;
    }
    StringTableBlock saverStrings;
    if (!saverStrings.Add(package::kStringDisplayName, displayName, platform.codePage) ||
        !updater_.Update(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(package::kStringBlock),
                         saverStrings.Data(), saverStrings.Size()) ||
        !updater_.End(false)) {
        EndIfOpen();
        return false;
    }

    // The filled screen saver and the two texts go into a copy of the installer stub.
    char setup[MAX_PATH];
    FindCompanion(platform, kSetupFile, setup);
    if (!CopyFileA(setup, destination, FALSE)) {
        return false;
    }
    if (!updater_.Begin(destination, false) ||
        !updater_.UpdateFromFile(package::kSaverType, MAKEINTRESOURCEA(package::kSaverId), temp)) {
        EndIfOpen();
        return false;
    }
    char stem[16];
    FormatFileStem(platform.tickCount, stem);
    StringTableBlock setupStrings;
    if (!setupStrings.Add(package::kStringFileStem, stem, platform.codePage) ||
        !setupStrings.Add(package::kStringSetupDisplayName, displayName, platform.codePage) ||
        !updater_.Update(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(package::kStringBlock),
                         setupStrings.Data(), setupStrings.Size()) ||
        !updater_.End(false)) {
        EndIfOpen();
        return false;
    }

    // The preview copy is a convenience: its failure does not fail the build.
    char preview[MAX_PATH];
    if (JoinPath(platform.tempDir, kPreviewFile, preview)) {
        CopyFileA(temp, preview, FALSE);
    }
    return true;
}
