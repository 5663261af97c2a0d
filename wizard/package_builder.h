// Builds the package: a copy of the screen saver filled with the movie and the display
// name, inside a copy of the installer stub at the destination. No window of its own.
#pragma once

#include "resource_updater.h"

#include <windows.h>

#include <string>

// Deletes the temporary screen saver however the build is left, exceptions included.
class TempFileGuard {
  public:
    explicit TempFileGuard(const char* path) : path_(path) {}
    ~TempFileGuard() { DeleteFileA(path_); }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

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

class PackageBuilder {
  public:
    PackageBuilder() {}
    virtual ~PackageBuilder() {}
    PackageBuilder(const PackageBuilder&) = delete;
    PackageBuilder& operator=(const PackageBuilder&) = delete;

    // True when the installer at `destination` is complete. Shows nothing.
    bool Build(const char* moviePath, const char* destination, const char* displayName);
    // The same with the platform values given, so tests can fix them.
    bool BuildWith(const char* moviePath, const char* destination, const char* displayName,
                   const BuildPlatform& platform);

    static BuildPlatform CurrentPlatform();

  private:
    // Ends an update still open on a failure path (committing what was accepted).
    void EndIfOpen();

    ResourceUpdater updater_;
};

// "qmv" and the tick count padded to five digits, cut to the installer's 8 characters.
void FormatFileStem(DWORD tickCount, char (&stem)[16]);
