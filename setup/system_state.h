// What the installer writes into the system and reads back: the screen saver file, the
// current-screen-saver setting, the product key and folder, and the uninstall entry.
// Buffers are kTextSize characters; platform values come in as arguments.
#pragma once

#include <windows.h>

// dwPlatformId 2 is the NT family; every other value the Windows 95/98/Me family.
inline bool IsNtFamily(DWORD platformId) {
    return platformId == VER_PLATFORM_WIN32_NT;
}

// A name that may stand before ".scr" (and after "UN") in a folder of ours: not empty, no
// path separator, no character file names cannot hold, no control character, not a
// reserved device name (CON, NUL, COM1... also with an extension or trailing blanks or
// dots). On Windows 95/98/Me the display name becomes the file name, so this keeps a
// package from writing outside the system directory or to a device.
bool IsSafeFileName(const char* name);

// A name for the product value and the uninstall entry: not empty (that would name the
// uninstall list itself) and without a backslash (that would name another entry's key).
bool IsSafeEntryName(const char* name);

// Writes `size` bytes as "<folder>\<name>.scr" and gives that path in `path`. A file
// that cannot be created or is written short fails; a short file is deleted again so
// no damaged screen saver is left for the display settings to list.
bool WriteSaverFile(const void* data, DWORD size, const char* folder, const char* name, char* path);
// The same with the module's resource SCR/101.
bool ExtractScreenSaver(HMODULE module, const char* folder, const char* name, char* path);

// The current-screen-saver setting of the branch: "SCRNSAVE.EXE" under
// HKCU\Control Panel\Desktop on the NT family, in section "boot" of "system.ini" otherwise.
// Reading fails (buffer untouched) when there is none or it would not fit.
bool GetCurrentScreenSaver(DWORD platformId, char* buffer);
bool SetCurrentScreenSaver(DWORD platformId, const char* text);

// The path the setting receives for an installed file: its short form, as the system
// that starts screen savers sees the file. A 32-bit installer under WOW64 writes to
// SysWOW64 while asking for System32, so `wow64Folder` (empty on 32-bit Windows) names
// the folder the file really lies in. Empty when the short form cannot be had.
void SettingPathFor(const char* installedPath, const char* wow64Folder, const char* name,
                    char* setting);

// Whether the current-screen-saver `setting` names the screen saver file at
// `installedPath` (as this program sees it), however it is spelled: the long or the
// short form, in the folder WOW64 shows a 64-bit system (`wow64Folder` as for
// SettingPathFor), or any other path that opens the same file. An empty setting or path
// names nothing.
bool SettingNamesFile(const char* setting, const char* installedPath, const char* wow64Folder);

// Values under HKCU\SOFTWARE\Tovik\Flickwell. Reading leaves `buffer` as it was on failure.
bool WriteProductValue(const char* name, const char* text);
bool ReadProductValue(const char* name, char* buffer);
bool DeleteProductValue(const char* name);

// "<programFiles>\Tovik\Flickwell", creating both levels when missing. The first form asks
// the shell for the program-files folder; on failure `buffer` stays as it was.
bool GetProductFolder(char* buffer);
bool GetProductFolderIn(const char* programFiles, char* buffer);

// "\"<uninstaller>\" -u \"<installed>\"": quoted, so a blank in Program Files can neither
// let Windows start another program nor cut the path the uninstaller reads back.
bool BuildUninstallCommand(const char* uninstaller, const char* installedPath, char* command);

// The entry HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<entry>; an unsafe
// entry name is refused.
bool RegisterUninstall(const char* entry, const char* command, const char* displayName);
bool UnregisterUninstall(const char* entry);
