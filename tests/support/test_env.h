// Where tests find the built programs, the sources and the sample movies, and small
// file helpers. Paths come from the test runner's environment as Unix paths and are
// given back in the form a Windows program under Wine uses (drive Z: is the root).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A Unix path from the environment in the form a Windows program uses (Z:\...), without a
// trailing backslash added.
std::string WindowsPathFromEnvironment(const char* variable);
std::string BinPath(const char* name);       // built programs: qmwizard.exe, template.scr...
std::string GeneratedPath(const char* name); // generated inputs: default.swf, payload.scr...
std::string SourcePath(const char* relative);
std::string MoviePath(const char* name); // the real-world sample movies
// A folder outside the throwaway prefix where a test leaves files for a host-side check
// (python3-pefile); made on first use.
std::string OutputPath(const char* name);
std::string TempDir(); // GetTempPathA, with its trailing backslash
// A fresh, empty folder under the temporary directory for one test.
std::string MakeScratchDir(const char* name);

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* bytes);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool FileExistsAt(const std::string& path);

// Runs a program and waits for it; gives its exit code, or -1000 when it did not start.
DWORD RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000);
