// The companion files "template.scr" and "setup.ex_", found through the wizard's App Paths
// entry, and the file tests the checks before a build use.
#pragma once

#include <windows.h>

extern const char kTemplateFile[]; // "template.scr"
extern const char kSetupFile[];    // "setup.ex_"

// Fills `path` with the folder named by the "Path" value of the wizard's App Paths key
// under HKEY_LOCAL_MACHINE, a backslash when it lacks one, and `fileName`. Leaves it empty
// when the key or value is missing or the whole would not fit the buffer.
void GetCompanionPath(const char* fileName, char (&path)[MAX_PATH]);
// The same join for a given folder; empty when the whole would not fit.
void CompanionPathIn(const char* folder, const char* fileName, char (&path)[MAX_PATH]);

// True for an existing file that is not a directory.
bool FileExists(const char* path);
// Whether two paths name the same file, however they are spelled: existing files by the
// file system's identity, others by their full paths. An empty path names nothing.
bool SameFile(const char* a, const char* b);
