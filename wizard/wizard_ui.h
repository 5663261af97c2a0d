// What the wizard's windows share: the module state, message boxes from the string
// table, the title font, centring, and the rule for moving text between fields and
// edit controls.
#pragma once

#include "../common/unique_handle.h"

#include <windows.h>

#include <string>

// The instance whose resources (dialogs, strings, bitmap) the windows use. Set by WinMain;
// without it the executable's own module is used.
void InitWizardModule(HINSTANCE instance);
void TermWizardModule();
HINSTANCE WizardInstance();

std::string LoadText(UINT id);
// A message box with caption string 128; `argument` fills the text's %s.
int ShowMessage(HWND owner, UINT textId, UINT flags, const char* argument = NULL);

// Bold Arial at the given size, derived from the system's message-box font.
class TitleFont {
  public:
    explicit TitleFont(int points);
    TitleFont(const TitleFont&) = delete;
    TitleFont& operator=(const TitleFont&) = delete;

    HFONT Get() const { return static_cast<HFONT>(font_.Get()); }
    // The description from a given message font and screen resolution.
    static LOGFONTA Describe(const LOGFONTA& messageFont, int pixelsPerInch, int points);

  private:
    GdiObject font_;
};

// Centres `window` over `reference`, else over its visible, not minimised owner, else in
// the work area; a child window is centred in its parent. Kept inside the work area.
void CenterOnOwner(HWND window, HWND reference = NULL);

// Sets a control's text; on failure beeps and puts the focus into the control.
bool WriteField(HWND dialog, int id, const std::string& text);
// Takes a control's whole text; when it cannot be read whole or is longer than `limit`,
// beeps and puts the focus into the control.
bool ReadField(HWND dialog, int id, size_t limit, std::string* text);

// Shows the wait cursor for as long as it lives.
class WaitCursor {
  public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    HCURSOR previous_;
};
