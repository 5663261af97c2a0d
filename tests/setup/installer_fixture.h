// Helpers for the installer's process tests: a filled installer built as the wizard
// builds one, a program run as a separate process whose message boxes the test answers,
// and the pieces of system state the installer leaves.
#pragma once

#include <windows.h>

#include "message_box.h"

#include <string>
#include <vector>

const char* const kProductKey = "SOFTWARE\\Tovik\\Flickwell";
const char* const kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kInstalled = "Installation completed successfully.";
const char* const kExtractFailed = "Failed to extract screen saver (disk full?)";

inline std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// Fills a copy of template.scr with the default movie and the display name, then a copy
// of setup.ex_ at `installerPath` with that screen saver, the stem and the display name.
// `saver` receives the filled screen saver's bytes (what SCR/101 holds).
bool BuildInstaller(const std::string& installerPath, const char* stem, const char* displayName,
                    std::vector<unsigned char>* saver);

bool Start(const std::string& commandLine, PROCESS_INFORMATION* process, DWORD flags = 0);
// Runs `commandLine` (the first token names the program), answers its message boxes in
// order with `answers`, records them, and gives the exit code, or a value below -999
// when the process did not start, a box did not come or it did not end.
int RunAnswering(const std::string& commandLine, const std::vector<int>& answers,
                 std::vector<MessageBoxInfo>* boxes);

std::string SystemFolder(); // as this 32-bit program sees it
// Where a 64-bit system finds what the 32-bit installer put in SystemFolder().
std::string SeenSystemFolder();
std::string Uninstaller(const char* stem);
std::string ShortPath(const std::string& path);

// A registry text, or "<none>" when the key or the value is missing.
std::string RegText(HKEY root, const std::string& key, const char* value);
bool SetRegText(HKEY root, const std::string& key, const char* value, const std::string& text);
inline std::string Desktop() {
    return RegText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE");
}
inline std::string ProductValue(const char* stem) {
    return RegText(HKEY_CURRENT_USER, kProductKey, stem);
}
inline std::string Entry(const char* stem, const char* value) {
    return RegText(HKEY_LOCAL_MACHINE, std::string(kUninstallList) + stem, value);
}
std::string SystemIni();

bool WaitUntilGone(const std::string& path, DWORD timeoutMs = 15000);

// Checks a box the installer showed: caption, text, icon, buttons, and no owner.
void ExpectBox(const MessageBoxInfo& box, const std::string& caption, const char* text,
               BoxIcon icon, std::vector<int> buttons = {IDOK});
// Runs `commandLine`, which must show exactly one such box (answered OK) and end with
// `exitCode`.
void ExpectSingleBox(const std::string& commandLine, int exitCode, const std::string& caption,
                     const char* text, BoxIcon icon);
