// How an uninstaller removes its own file, which no running program can delete: a
// temporary copy of it, alone in a new folder with an unpredictable name in the temporary
// folder and opened for deletion on close, waits for the uninstaller to end. No program
// can remove the folder it runs from either, so the copy then starts the uninstaller's
// file, idle by now and opened for deletion on close likewise, which waits for the copy
// to end and removes the copy's folder. Whatever runs last is deleted by the system.
#pragma once

#include <windows.h>

// Starts the temporary copy in the cleanup role for this process and its own file.
void LaunchSelfRemoval();

// The cleanup role ("-pid N -exe path"): holds process N, tells N's starter it may end
// (the starter waits a bounded time for that), waits for N to end, then deletes `path`,
// and removes its folder when that is a temporary copy's; run from a temporary copy, it
// hands that last step to `path` itself as above.
void CleanUpAfter(DWORD processId, const char* path);

// Waits for process N to end and deletes `path` once; nothing when N cannot be opened.
void WaitAndDelete(DWORD processId, const char* path);
