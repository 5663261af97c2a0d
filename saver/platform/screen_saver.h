// The screen saver framework: process entry, command line, the screen saver window and
// the rules by which input closes it. The program built on it supplies the three
// functions below and the resources icon 100 and dialog 2003.
#pragma once

#include <windows.h>

extern "C" {
// Supplied by the screen saver program, exported by name.
LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A dialog procedure (DLGPROC): its result is pointer-sized on 64-bit Windows, the same
// 32-bit value as BOOL on 32-bit Windows, so the export stays what screen savers export.
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
BOOL WINAPI RegisterDialogClasses(HANDLE instance);

// The default screen saver window procedure: applies the closing rules, hides the cursor.
LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}

namespace saver {

extern const char kSaverClassName[];  // "WindowsScreenSaverClass"
extern const char kFullScreenTitle[]; // "Screen Saver"
extern const char kPreviewTitle[];    // "Preview"

enum class SaverMode { FullScreen, Preview, Configure, ChangePassword, Invalid };

struct SaverCommand {
    SaverMode mode;
    HWND window; // preview parent, configure or password parent; NULL when none was given
};

// Reads the command line after the program name. A handle that does not fit in 32 bits
// counts as no handle.
SaverCommand ParseSaverCommandLine(const char* args);

// What the default procedure does with one message in full screen.
enum class SaverReply {
    Default,           // DefWindowProcA
    Close,             // post WM_CLOSE, then DefWindowProcA
    Zero,              // answer 0, nothing else
    HideCursor,        // no cursor, answer 1
    HideCursorDefault, // no cursor, then DefWindowProcA
};

// The facts about the machine that the rules look at, read by the caller.
struct InputFacts {
    POINT cursor;      // screen position of the cursor, for WM_MOUSEMOVE
    BYTE acLineStatus; // mains state, for WM_POWERBROADCAST
};

// The closing rules of a full-screen saver. The reference point starts at the cursor's
// position when the window is created and is renewed on every movement that closes and on
// every refused close; the mains state is remembered for power status changes.
class ClosingRules {
  public:
    static const int kMoveThreshold = 4;

    ClosingRules();
    void Start(POINT cursor, BYTE acLineStatus);
    void Renew(POINT cursor) { reference_ = cursor; }
    SaverReply Judge(UINT message, WPARAM wParam, LPARAM lParam, const InputFacts& facts);
    POINT Reference() const { return reference_; }

  private:
    POINT reference_;
    BYTE acLineStatus_;
};

// The whole program: runs the mode the command line asks for and gives the exit code.
int RunScreenSaver(HINSTANCE instance, const char* args);

} // namespace saver
