// Builds the package: a copy of the screen saver filled with the movie and the display
// name, inside a copy of the installer stub at the destination. No window of its own.
#pragma once

#include "resource_updater.h"

#include <windows.h>

#include <string>

// Deletes a file of the build's own (the temporary screen saver, the unfinished
// installer) however the build is left, exceptions included, unless it was kept.
class TempFileGuard {
  public:
    explicit TempFileGuard(const char* path) : path_(path) {}
    ~TempFileGuard() {
        if (path_ != NULL) {
            DeleteFileA(path_);
        }
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

    void Keep() { path_ = NULL; }

  private:
    const char* path_;
};

// The platform values one build depends on, read once at its start.
struct BuildPlatform {
    DWORD tickCount;     // names the temporary file and the installer's file stem
    UINT codePage;       // widens the display name
    std::string tempDir; // GetTempPathA, with its trailing backslash; empty when unknown
    // Where template.scr and setup.ex_ are; empty: the wizard's App Paths entry names it.
    std::string companionDir;
};

// The path of a companion file for this build.
void FindCompanion(const BuildPlatform& platform, const char* fileName, char (&path)[MAX_PATH]);

// Where a failed build stopped, for callers that say more than that it failed.
enum class BuildFailure {
    None,
    Input,       // an input refused before anything was written
    Folder,      // the destination's folder cannot take the unfinished installer
    Build,       // a copy or a resource update failed
    Destination, // the finished installer could not take the destination's place
};

class PackageBuilder {
  public:
    PackageBuilder() : failure_(BuildFailure::None), error_(0) {}
    virtual ~PackageBuilder() {}
    PackageBuilder(const PackageBuilder&) = delete;
    PackageBuilder& operator=(const PackageBuilder&) = delete;

    // True when the installer at `destination` is complete. Shows nothing. The installer
    // is made in a temporary file beside the destination and takes its place only when
    // complete, so a failed build leaves the destination exactly as it was.
    bool Build(const char* moviePath, const char* destination, const char* displayName);
    // The same with the platform values given, so tests can fix them.
    bool BuildWith(const char* moviePath, const char* destination, const char* displayName,
                   const BuildPlatform& platform);

    static BuildPlatform CurrentPlatform();

    // After a failed build: where it stopped, and the system's error code there (0 when
    // none applies).
    BuildFailure Failure() const { return failure_; }
    DWORD Error() const { return error_; }
    // After a successful build: the copy of the screen saver that Preview starts, in the
    // temporary folder; empty when no copy could be made.
    const std::string& PreviewPath() const { return previewPath_; }

  private:
    // Ends an update still open on a failure path (committing what was accepted).
    void EndIfOpen();
    bool Fail(BuildFailure failure, DWORD error = 0);
    // The new, empty file beside `destination` that the installer is made in.
    bool MakePartial(const char* destination, char (&partial)[MAX_PATH]);
    bool Fill(const char* moviePath, const char* displayName, const BuildPlatform& platform,
              const char* temp, const char* partial);
    void MakePreview(const BuildPlatform& platform, const char* temp);

    ResourceUpdater updater_;
    BuildFailure failure_;
    DWORD error_;
    std::string previewPath_;
};

// The installer's file stem: "qmv" and five digits, 8 characters. The digits mix the
// tick count with the movie path and the display name, so builds made at different times
// (or of different movies) almost never share them, as the leading digits of a tick
// count do for builds seconds apart.
void FormatFileStem(DWORD tickCount, const char* moviePath, const char* displayName,
                    char (&stem)[16]);
