// Shared by the wizard's tests: the App Paths entry that names the companion folder,
// movies of a given size and signature, and what built files hold.
#pragma once

#include "window_driver.h"

#include <windows.h>

#include <string>
#include <vector>

// Points the wizard's App Paths entry under `root` (in this process's registry view) at
// `folder`; NULL removes the entry.
void SetAppPath(const char* folder, HKEY root = HKEY_LOCAL_MACHINE);
// A folder holding copies of the built template.scr and setup.ex_, named in App Paths.
std::string InstallCompanions(const std::string& folder);

// A fresh folder named after the running test, with its trailing backslash.
std::string Scratch();

// A movie file whose first bytes are `signature` and whose size is `size`.
std::string WriteMovie(const std::string& path, const char* signature, size_t size);
std::vector<unsigned char> Bytes(const std::string& path);
std::string FileText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// One resource under language 1033 (empty when missing) and one string, read with the
// system's resource functions.
std::vector<unsigned char> ResourceBytes(const std::string& file, LPCSTR type, WORD id);
std::string LoadStringFrom(const std::string& file, UINT id);

// True when `folder` holds no temporary screen saver ("qmv*"), or nothing `pattern` names
// (the unfinished installer beside a destination is "qmb*").
bool NoTemporaryLeft(const std::string& folder, const char* pattern = "qmv*");
