// The installer's start-up and its three roles: install, uninstall and cleanup. One
// executable plays all of them, chosen by its first command-line token.
#pragma once

#include <windows.h>

#include "setup/command_line.h"
#include "setup/self_removal.h"

// The two package strings the wizard wrote: string 1 and string 2 of the program.
struct Package {
    HMODULE module;
    char fileStem[kTextSize];
    char displayName[kTextSize];
};
void LoadPackage(HMODULE module, Package* package);

// Where an install writes, as the running system tells it.
struct InstallTarget {
    DWORD platformId;
    char systemFolder[kTextSize]; // empty when the system would not give it
    char wow64Folder[kTextSize];  // where a 32-bit program's system files really lie
                                  // under WOW64 (SysWOW64); empty on 32-bit Windows
};
void QueryInstallTarget(DWORD platformId, InstallTarget* target);

// Loads DLLs only from the system directory from now on: an installer is often run from
// a downloads folder, where a planted DLL would otherwise be found first. False where the
// system cannot restrict the search (it still drops the current directory where it can).
bool RestrictDllSearch();

// Shows string `id` with the display name as caption and no owner; gives the button.
int ShowMessage(UINT id, UINT flags);

// COM up, first token, package strings, role, COM down; gives the exit code.
int RunSetup(HMODULE module, const char* arguments, DWORD platformId);

int RunInstall(const Package& package, const InstallTarget& target);
// Gives 0 when the user declines; a completed uninstall ends the process itself.
int RunUninstall(const Package& package, const InstallTarget& target, const char* arguments);
int RunCleanup(const char* arguments);
