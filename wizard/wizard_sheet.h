// The wizard-style property sheet that holds the four pages.
#pragma once

#include "pages.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

class WizardSheet {
  public:
    // No caption (the pages' title shows), start page 0, no owner yet.
    explicit WizardSheet(HINSTANCE instance);
    ~WizardSheet();
    WizardSheet(const WizardSheet&) = delete;
    WizardSheet& operator=(const WizardSheet&) = delete;

    // Makes the page's platform handle now; a page whose handle cannot be made is left out.
    bool AddPage(WizardPage* page);
    void AddFlags(DWORD flags) { header_.dwFlags |= flags; }

    // Runs the sheet modally; the platform's result (positive after Finish, 0 after
    // Cancel, -1 when it could not be shown).
    INT_PTR RunModal(HWND owner);
    // The same sheet without a modal loop, for callers that pump messages themselves.
    HWND CreateModeless(HWND owner);

  private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    void DropPages();

    PROPSHEETHEADERA header_;
    std::vector<HPROPSHEETPAGE> pages_;
    HWND window_;
};

// Builds and runs the wizard for `commandLine` (the whole line, program name included).
INT_PTR RunWizardFor(const char* commandLine);
// The same for the process's own command line.
INT_PTR RunWizard();

// The process's start: the platform gate, COM and the common controls, the wizard.
// -1 on the Windows 95/98/Me family.
int WizardMain(HINSTANCE instance, const OSVERSIONINFOA& version);
