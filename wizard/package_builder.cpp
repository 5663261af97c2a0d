#include "package_builder.h"

#include "companion.h"
#include "movie_check.h"

#include "../common/package_layout.h"
#include "../common/string_table_block.h"

namespace {

const char kPreviewFile[] = "preview.scr";
const int kPreviewNames = 16; // "preview.scr", then "preview1.scr" to "preview15.scr"

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

void FormatFileStem(DWORD tickCount, const char* moviePath, const char* displayName,
                    char (&stem)[16]) {
    // FNV-1a over the tick count's four bytes, the movie path, a zero and the name.
    DWORD hash = 2166136261u;
    auto mix = [&hash](BYTE byte) { hash = (hash ^ byte) * 16777619u; };
    for (int shift = 0; shift < 32; shift += 8) {
        mix(static_cast<BYTE>(tickCount >> shift));
    }
    for (const char* p = moviePath; *p != '\0'; ++p) {
        mix(static_cast<BYTE>(*p));
    }
    mix(0);
    for (const char* p = displayName; *p != '\0'; ++p) {
        mix(static_cast<BYTE>(*p));
    }
    ZeroMemory(stem, sizeof(stem));
    wsprintfA(stem, "qmv%05u", static_cast<unsigned>(hash % 100000u));
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

bool PackageBuilder::Fail(BuildFailure failure, DWORD error) {
    failure_ = failure;
    error_ = error;
    return false;
}

bool PackageBuilder::MakePartial(const char* destination, char (&partial)[MAX_PATH]) {
    ZeroMemory(partial, sizeof(partial));
    char full[MAX_PATH] = {0};
    char* name = NULL;
    const DWORD length = GetFullPathNameA(destination, MAX_PATH, full, &name);
    // GetTempFileNameA adds at most 14 characters to the folder.
    if (length == 0 || length >= MAX_PATH || name == NULL || (name - full) + 14 >= MAX_PATH) {
        return Fail(BuildFailure::Folder,
                    length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);
    }
    *name = '\0';
    if (GetTempFileNameA(full, "qmb", 0, partial) == 0) {
        const DWORD error = GetLastError();
        ZeroMemory(partial, sizeof(partial));
        return Fail(BuildFailure::Folder, error);
    }
    return true;
}

bool PackageBuilder::BuildWith(const char* moviePath, const char* destination,
                               const char* displayName, const BuildPlatform& platform) {
    failure_ = BuildFailure::None;
    error_ = 0;
    previewPath_.clear();
    // Inputs that could not be what the user meant are refused before any file is
    // touched: paths that do not fit MAX_PATH, and a name the installer cannot show.
    const int nameLength = displayName != NULL ? lstrlenA(displayName) : 0;
    if (!FitsPath(moviePath) || !FitsPath(destination) || nameLength == 0 ||
        nameLength > static_cast<int>(kMaxNameField)) {
        return Fail(BuildFailure::Input);
    }
    char tempName[32] = {0};
    wsprintfA(tempName, "qmv%05u.scr", static_cast<unsigned>(platform.tickCount));
    char temp[MAX_PATH];
    if (!JoinPath(platform.tempDir, tempName, temp)) {
        return Fail(BuildFailure::Input);
    }

    // The installer is made beside the destination, so that moving it into place is a
    // rename on the same volume, and the destination is not touched before that.
    char partial[MAX_PATH];
    if (!MakePartial(destination, partial)) {
        return false;
    }
    TempFileGuard partialGuard(partial);

    char source[MAX_PATH];
    FindCompanion(platform, kTemplateFile, source);
    if (!CopyFileA(source, temp, FALSE)) {
        return Fail(BuildFailure::Build, GetLastError());
    }
    TempFileGuard guard(temp);
    if (!Fill(moviePath, displayName, platform, temp, partial)) {
        return false;
    }
    if (!MoveFileExA(partial, destination, MOVEFILE_REPLACE_EXISTING)) {
        return Fail(BuildFailure::Destination, GetLastError());
    }
    partialGuard.Keep();
    MakePreview(platform, temp);
    return true;
}

bool PackageBuilder::Fill(const char* moviePath, const char* displayName,
                          const BuildPlatform& platform, const char* temp, const char* partial) {
    // The movie and the display name go into the temporary screen saver.
    if (!updater_.Begin(temp, false) ||
        !updater_.UpdateFromFile(package::kMovieType, MAKEINTRESOURCEA(package::kMovieId),
                                 moviePath)) {
        EndIfOpen();
        return Fail(BuildFailure::Build);
    }
    StringTableBlock saverStrings;
    if (!saverStrings.Add(package::kStringDisplayName, displayName, platform.codePage) ||
        !updater_.Update(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(package::kStringBlock),
                         saverStrings.Data(), saverStrings.Size()) ||
        !updater_.End(false)) {
        EndIfOpen();
        return Fail(BuildFailure::Build);
    }

    // The filled screen saver and the two texts go into a copy of the installer stub.
    char setup[MAX_PATH];
    FindCompanion(platform, kSetupFile, setup);
    if (!CopyFileA(setup, partial, FALSE)) {
        return Fail(BuildFailure::Build, GetLastError());
    }
    if (!updater_.Begin(partial, false) ||
        !updater_.UpdateFromFile(package::kSaverType, MAKEINTRESOURCEA(package::kSaverId), temp)) {
        EndIfOpen();
        return Fail(BuildFailure::Build);
    }
    char stem[16];
    FormatFileStem(platform.tickCount, moviePath, displayName, stem);
    StringTableBlock setupStrings;
    if (!setupStrings.Add(package::kStringFileStem, stem, platform.codePage) ||
        !setupStrings.Add(package::kStringSetupDisplayName, displayName, platform.codePage) ||
        !updater_.Update(MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(package::kStringBlock),
                         setupStrings.Data(), setupStrings.Size()) ||
        !updater_.End(false)) {
        EndIfOpen();
        return Fail(BuildFailure::Build);
    }
    return true;
}

void PackageBuilder::MakePreview(const BuildPlatform& platform, const char* temp) {
    // The preview copy is a convenience: its failure does not fail the build. A preview
    // still running holds its file; this build's copy then goes under a fresh name, so
    // Preview never starts an older screen saver.
    for (int attempt = 0; attempt < kPreviewNames; ++attempt) {
        char name[32] = {0};
        if (attempt == 0) {
            lstrcpyA(name, kPreviewFile);
        } else {
            wsprintfA(name, "preview%d.scr", attempt);
        }
        char preview[MAX_PATH];
        if (!JoinPath(platform.tempDir, name, preview)) {
            return;
        }
        if (CopyFileA(temp, preview, FALSE)) {
            previewPath_ = preview;
            return;
        }
    }
}
