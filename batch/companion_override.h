// Lets one process find the companion files in a folder of the caller's choice instead
// of the one the wizard's App Paths entry names, without touching that entry.
#pragma once

#include "../common/unique_handle.h"

#include <windows.h>

// While alive, this process reads HKEY_LOCAL_MACHINE from a private volatile key that
// holds only an App Paths entry of "qmwizard.exe" whose "Path" is the given folder. The
// companion lookup is the wizard's own; only the place it reads changes.
class CompanionOverride {
  public:
    CompanionOverride() {}
    ~CompanionOverride();
    CompanionOverride(const CompanionOverride&) = delete;
    CompanionOverride& operator=(const CompanionOverride&) = delete;

    bool Apply(const char* folder);

  private:
    void Remove();

    RegKey root_;
    char rootName_[64] = {0};
};
