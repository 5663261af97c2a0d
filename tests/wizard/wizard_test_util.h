// Shared by the wizard's tests: the App Paths entry that names the companion folder,
// movies of a given size and signature, and reading resources back from built files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Points the wizard's App Paths entry (under HKEY_LOCAL_MACHINE, in this process's
// registry view) at `folder`; an empty folder removes the entry.
void SetAppPath(const std::string& folder);
// A folder holding copies of the built template.scr and setup.ex_, named in App Paths.
std::string InstallCompanions(const std::string& folder);

// A movie file whose first bytes are `signature` and whose size is `size`.
std::string WriteMovie(const std::string& path, const char* signature, size_t size);

// The bytes of one resource under language 1033, read with the system's resource functions.
bool ResourceBytes(const std::string& file, LPCSTR type, LPCSTR name,
                   std::vector<unsigned char>* bytes);
std::string LoadStringFrom(const std::string& file, UINT id);

// Files of `folder` whose names begin with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const char* prefix);
