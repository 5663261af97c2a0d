// Drives the windows of another process as a person would: finds them, reads and fills
// their fields, presses their buttons, and moves the mouse. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>

// A visible top-level window of process `pid` whose class is `cls` (and, when `title` is
// given, whose text is `title`); NULL when none came within `timeoutMs`.
HWND WaitForTopWindow(DWORD pid, const char* cls, const char* title, DWORD timeoutMs);
// A window of process `pid` of class `cls`, top-level or a child at any depth.
HWND WaitForWindowOfClass(DWORD pid, const char* cls, DWORD timeoutMs);

std::string WindowText(HWND window);
bool SetWindowTextOf(HWND window, const std::string& text);
// Presses button `id` of `dialog` the way its click reaches the dialog, once the button
// is shown and enabled (waiting up to 5 s for that); false when it never was.
bool ClickButton(HWND dialog, int id);

// The page a property sheet shows now, once it has a control `controlId` (any page for
// 0); NULL when no such page came within `timeoutMs`.
HWND WaitForSheetPage(HWND sheet, int controlId, DWORD timeoutMs);

// Moves the mouse pointer through the given screen points with real input events.
void MoveMouseThrough(const POINT* points, int count);

// Waits for a process to end; its exit code, or STILL_ACTIVE when it did not.
DWORD WaitForExit(HANDLE process, DWORD timeoutMs);
