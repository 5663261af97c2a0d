// Helpers for the installer's process tests: a filled installer built as the wizard
// builds one, a program run as a separate process whose message boxes the test answers,
// and the pieces of system state the installer leaves.
#pragma once

#include <windows.h>

#include "message_box.h"

#include <string>
#include <vector>

// Copies template.scr and fills it with `movie` and the display name, then copies
// setup.ex_ to `installerPath` and fills it with that screen saver, the stem and the
// display name. `saver` receives the filled screen saver's bytes (what SCR/101 holds).
bool BuildInstaller(const std::string& installerPath, const char* stem, const char* displayName,
                    std::vector<unsigned char>* saver);

// Starts `commandLine` (as CreateProcess with no application name: the first token names
// the program), answers its message boxes in order with `answers`, records what each box
// showed, and waits for the process to end. Gives the exit code, or a value below -999
// when the process did not start, a box did not come or it did not end.
int RunAnswering(const std::string& commandLine, const std::vector<int>& answers,
                 std::vector<MessageBoxInfo>* boxes);

std::string SystemFolder();      // as this 32-bit program sees it
std::string Wow64SystemFolder(); // SysWOW64 under WOW64, else empty
std::string ProgramFilesFolder();
std::string ShortPath(const std::string& path);

// The registry and profile entries the installer writes; empty when missing.
bool ReadRegistryText(HKEY root, const char* key, const char* value, std::string* text);
std::string CurrentSaverNt();
std::string CurrentSaver98();
bool SetCurrentSaverNt(const std::string& text);

const char* const kProductKey = "SOFTWARE\\Tovik\\Flickwell";
const char* const kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Waits up to `timeoutMs` for `path` to disappear.
bool WaitUntilGone(const std::string& path, DWORD timeoutMs);
