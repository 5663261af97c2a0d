// The screen saver runtime: plays the movie stored in the program's own resources in a
// Flash control that covers the screen saver window, and removes everything at the end.
#pragma once

#include <windows.h>

#include "saver/platform/ax_host.h"

namespace saver {

// "%s\\swf%05X.tmp" of the temporary folder and a tick count, into a MAX_PATH buffer.
// False, with the buffer emptied, when the path would not fit.
bool FormatMoviePath(char (&path)[MAX_PATH], const char* tempDir, DWORD tickCount);

// Writes `size` bytes to a new temporary file at `path`. A file that is not written
// whole is deleted again, so a failed start leaves nothing behind.
HRESULT WriteMovieFile(const char* path, const void* data, DWORD size);

// The code page for widening the movie's URL: the thread's ANSI code page.
UINT UrlCodePage();

// Shows string `messageId` of the running program in an error box owned by `owner`.
void ShowSaverError(HWND owner, UINT messageId);

class SaverPlayer {
  public:
    SaverPlayer();
    ~SaverPlayer();
    SaverPlayer(const SaverPlayer&) = delete;
    SaverPlayer& operator=(const SaverPlayer&) = delete;

    HRESULT StartMovie(HWND window);
    void StopMovie();
    HRESULT ExtractMovie(UINT resourceId);
    // The same from a given module, temporary folder and tick count.
    HRESULT ExtractMovieFrom(HMODULE module, UINT resourceId, const char* tempDir, DWORD tickCount);

    const char* MoviePath() const { return moviePath_; }
    HostWindow* Host() const { return host_; }

  private:
    HostWindow* host_;
    char moviePath_[MAX_PATH];
};

// The process-wide runtime state the window procedures share.
extern SaverPlayer player;
extern HWND saverWindow;
extern WNDPROC savedControlProc;

LRESULT CALLBACK ControlInputProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace saver
