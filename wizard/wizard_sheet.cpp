#include "wizard_sheet.h"

#include "resource.h"
#include "text_rules.h"

#include <objbase.h>

namespace {
// The sheet whose window is being made: its callback has no parameter of its own.
WizardSheet* g_creating = NULL;
} // namespace

WizardSheet::WizardSheet(HINSTANCE instance) : window_(NULL) {
    ZeroMemory(&header_, sizeof(header_));
    // The first form of the header: no watermark or header bitmap fields.
    header_.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header_.dwFlags = PSH_USECALLBACK;
    header_.hInstance = instance;
    header_.nStartPage = 0;
    header_.pfnCallback = SheetCallback;
}

WizardSheet::~WizardSheet() {
    DropPages();
}

bool WizardSheet::AddPage(WizardPage* page) {
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(page->Description());
    if (handle == NULL) {
        return false;
    }
    pages_.push_back(handle);
    return true;
}

void WizardSheet::DropPages() {
    // Handles the sheet has taken over are gone already; only unused ones remain ours.
    if (window_ == NULL) {
        for (HPROPSHEETPAGE page : pages_) {
            DestroyPropertySheetPage(page);
        }
    }
    pages_.clear();
}

int CALLBACK WizardSheet::SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_creating != NULL) {
        g_creating->window_ = window;
        g_creating = NULL;
        CenterOnOwner(window);
    }
    return 0;
}

INT_PTR WizardSheet::RunModal(HWND owner) {
    header_.dwFlags &= ~PSH_MODELESS;
    if (header_.hwndParent == NULL) {
        header_.hwndParent = owner;
    }
    header_.nPages = static_cast<UINT>(pages_.size());
    header_.phpage = pages_.data();
    g_creating = this;
    INT_PTR result = PropertySheetA(&header_);
    g_creating = NULL;
    // The platform destroyed the pages with the sheet.
    pages_.clear();
    window_ = NULL;
    return result;
}

HWND WizardSheet::CreateModeless(HWND owner) {
    header_.dwFlags |= PSH_MODELESS;
    if (header_.hwndParent == NULL) {
        header_.hwndParent = owner;
    }
    header_.nPages = static_cast<UINT>(pages_.size());
    header_.phpage = pages_.data();
    g_creating = this;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header_));
    g_creating = NULL;
    if (sheet != NULL) {
        window_ = sheet;
        pages_.clear();
    }
    return sheet;
}

INT_PTR RunWizardFor(const char* commandLine) {
    std::string argument;
    const bool named = FindCommandArgument(commandLine, &argument);
    ProjectSettings settings;
    if (named && !settings.Load(argument.c_str())) {
        ShowMessage(NULL, IDS_PROJECT_NOT_FOUND, MB_ICONWARNING, argument.c_str());
    }
    WizardSheet sheet(WizardInstance());
    std::string previewPath;
    WelcomePage welcome;
    ScreenSaverPage saver(&settings);
    ProjectPage project(&settings, &previewPath);
    FinishPage finish(&previewPath);
    sheet.AddPage(&welcome);
    sheet.AddPage(&saver);
    sheet.AddPage(&project);
    sheet.AddPage(&finish);
    sheet.AddFlags(PSH_WIZARD);
    return sheet.RunModal(GetActiveWindow());
}

INT_PTR RunWizard() {
    return RunWizardFor(GetCommandLineA());
}

int WizardMain(HINSTANCE instance, const OSVERSIONINFOA& version) {
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        ShowMessage(GetDesktopWindow(), IDS_WIN9X, MB_ICONINFORMATION);
        return -1;
    }
    CoInitialize(NULL);
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0;
    InitCommonControlsEx(&controls);
    InitWizardModule(instance);
    const int result = static_cast<int>(RunWizard());
    TermWizardModule();
    CoUninitialize();
    return result;
}
