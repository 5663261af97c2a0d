#include "pages.h"

#include "movie_check.h"
#include "package_builder.h"
#include "resource.h"
#include "text_rules.h"

#include "../common/file_name_rule.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace {

const int kLargeTitle = 16;
const int kSmallTitle = 10;

// The file dialogs keep their look; the hook is there for the explorer-style frame only.
UINT_PTR CALLBACK FileDialogHook(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// Runs an Open or Save dialog; the chosen full path, or false when cancelled.
bool AskForFile(bool save, const char* filter, const char* extension, const std::string& initial,
                std::string* chosen) {
    char file[MAX_PATH] = {0};
    lstrcpynA(file, initial.c_str(), sizeof(file));
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof(file);
    dialog.lpstrDefExt = extension;
    dialog.Flags =
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    dialog.lpfnHook = FileDialogHook;
    BOOL ok = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    if (!ok) {
        return false;
    }
    chosen->assign(file);
    return true;
}

void FocusField(HWND dialog, int id) {
    SetFocus(GetDlgItem(dialog, id));
}

// The movie field's drop target and the procedure the field had before.
ScreenSaverPage* g_dropPage = NULL;
WNDPROC g_movieFieldProc = NULL;

} // namespace

WizardPage::WizardPage(UINT dialogId, int titlePoints, DWORD buttons)
    : window_(NULL), titleFont_(titlePoints), title_(NULL), buttons_(buttons) {
    ZeroMemory(&page_, sizeof(page_));
    page_.dwSize = PROPSHEETPAGEA_V2_SIZE;
    page_.dwFlags = PSP_USECALLBACK | PSP_USETITLE;
    page_.hInstance = WizardInstance();
    page_.pszTemplate = MAKEINTRESOURCEA(dialogId);
    page_.pszTitle = MAKEINTRESOURCEA(IDS_CAPTION);
    page_.pfnDlgProc = DialogProc;
    page_.lParam = reinterpret_cast<LPARAM>(this);
    page_.pfnCallback = PageCallback;
}

UINT CALLBACK WizardPage::PageCallback(HWND, UINT, PROPSHEETPAGEA*) {
    // The page carries its object in lParam; WM_INITDIALOG binds it. Every page is made.
    return 1;
}

INT_PTR CALLBACK WizardPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WizardPage* page = reinterpret_cast<WizardPage*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<WizardPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->window_ = window;
    }
    if (page == NULL) {
        return FALSE;
    }
    return page->HandleMessage(message, wParam, lParam);
}

INT_PTR WizardPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        title_ = GetDlgItem(window_, IDC_TITLE);
        SendMessageA(title_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()), TRUE);
        OnInitDialog();
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == PSN_SETACTIVE) {
            // Posted: the sheet is in the middle of changing pages.
            PostMessageA(GetParent(window_), PSM_SETWIZBUTTONS, 0, buttons_);
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if (header->code == PSN_WIZNEXT) {
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, OnWizardNext());
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_DESTROY:
        OnDestroy();
        title_ = NULL;
        return FALSE;
    default:
        return FALSE;
    }
}

bool WizardPage::OnCommand(int, int) {
    return false;
}

WelcomePage::WelcomePage() : WizardPage(IDD_WELCOME, kLargeTitle, PSWIZB_NEXT) {}

void WelcomePage::OnInitDialog() {
    CenterOnOwner(window_);
}

FinishPage::FinishPage(const std::string* previewPath)
    : WizardPage(IDD_FINISH, kLargeTitle, PSWIZB_BACK | PSWIZB_FINISH), previewPath_(previewPath) {}

void FinishPage::OnInitDialog() {
    CenterOnOwner(window_);
}

bool FinishPage::OnCommand(int id, int) {
    if (id != IDC_PREVIEW) {
        return false;
    }
    PreviewScreenSaver(window_, *previewPath_);
    return true;
}

void PreviewScreenSaver(HWND owner, const std::string& path) {
    if (!path.empty()) {
        ShellExecuteA(owner, NULL, path.c_str(), NULL, NULL, SW_SHOWNORMAL);
    }
}

ScreenSaverPage::ScreenSaverPage(ProjectSettings* settings)
    : WizardPage(IDD_SCREENSAVER, kSmallTitle, PSWIZB_BACK | PSWIZB_NEXT),
      displayName_(settings->Get("DisplayName")), moviePath_(settings->Get("MoviePath")),
      settings_(settings), nameEdited_(false) {}

void ScreenSaverPage::OnInitDialog() {
    HWND field = GetDlgItem(window_, IDC_MOVIE_PATH);
    g_dropPage = this;
    DragAcceptFiles(field, TRUE);
    g_movieFieldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MovieDropProc)));
    if (WriteField(window_, IDC_MOVIE_PATH, moviePath_) &&
        WriteField(window_, IDC_DISPLAY_NAME, displayName_) && !displayName_.empty()) {
        // A name from the project file counts as the user's own.
        nameEdited_ = true;
    }
    CenterOnOwner(window_);
}

void ScreenSaverPage::OnDestroy() {
    HWND field = GetDlgItem(window_, IDC_MOVIE_PATH);
    if (g_movieFieldProc != NULL) {
        SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_movieFieldProc));
        g_movieFieldProc = NULL;
    }
    if (g_dropPage == this) {
        g_dropPage = NULL;
    }
}

LRESULT CALLBACK ScreenSaverPage::MovieDropProc(HWND field, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message != WM_DROPFILES || g_dropPage == NULL) {
        return CallWindowProcA(g_movieFieldProc, field, message, wParam, lParam);
    }
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    // Taken whole, however long: the field's reader refuses what is over its limit.
    UINT length = DragQueryFileA(drop, 0, NULL, 0);
    std::vector<char> path(length + 1, '\0');
    DragQueryFileA(drop, 0, path.data(), length + 1);
    DragFinish(drop);
    SetWindowTextA(field, path.data());
    g_dropPage->FillName(path.data());
    return 0;
}

void ScreenSaverPage::FillName(const char* moviePath) {
    if (nameEdited_) {
        return;
    }
    SetDlgItemTextA(window_, IDC_DISPLAY_NAME, DeriveDisplayName(moviePath).c_str());
    // Writing the name looked like typing; it was not.
    nameEdited_ = false;
}

bool ScreenSaverPage::OnCommand(int id, int code) {
    if (id == IDC_BROWSE_MOVIE) {
        BrowseMovie();
        return true;
    }
    if (id == IDC_DISPLAY_NAME && code == EN_CHANGE) {
        char name[MAX_PATH] = {0};
        GetDlgItemTextA(window_, IDC_DISPLAY_NAME, name, sizeof(name));
        if (name[0] != '\0') {
            nameEdited_ = true;
        }
        return true;
    }
    return false;
}

void ScreenSaverPage::BrowseMovie() {
    std::string chosen;
    if (!AskForFile(false, "Macromedia Flash files (*.swf)\0*.swf\0All files (*.*)\0*.*\0", "swf",
                    moviePath_, &chosen)) {
        return;
    }
    // A failed read beeps, but the chosen file is taken all the same.
    if (ReadField(window_, IDC_MOVIE_PATH, kMaxPathField, &moviePath_)) {
        ReadField(window_, IDC_DISPLAY_NAME, kMaxNameField, &displayName_);
    }
    moviePath_ = chosen;
    WriteField(window_, IDC_MOVIE_PATH, moviePath_);
    if (!nameEdited_ && !moviePath_.empty()) {
        displayName_ = DeriveDisplayName(moviePath_.c_str());
        WriteField(window_, IDC_DISPLAY_NAME, displayName_);
        nameEdited_ = false;
    }
}

LONG_PTR ScreenSaverPage::OnWizardNext() {
    if (!ReadField(window_, IDC_MOVIE_PATH, kMaxPathField, &moviePath_) ||
        !ReadField(window_, IDC_DISPLAY_NAME, kMaxNameField, &displayName_)) {
        return -1;
    }
    switch (CheckMovie(displayName_, moviePath_)) {
    case MovieCheck::Ok:
        break;
    case MovieCheck::NameTooLong:
        FocusField(window_, IDC_DISPLAY_NAME);
        return -1;
    case MovieCheck::PathTooLong:
    case MovieCheck::TooShort:
        FocusField(window_, IDC_MOVIE_PATH);
        return -1;
    case MovieCheck::EmptyName:
        ShowMessage(window_, IDS_EMPTY_FIELD, MB_ICONWARNING);
        FocusField(window_, IDC_DISPLAY_NAME);
        return -1;
    case MovieCheck::EmptyMovie:
        ShowMessage(window_, IDS_EMPTY_FIELD, MB_ICONWARNING);
        FocusField(window_, IDC_MOVIE_PATH);
        return -1;
    case MovieCheck::NotFound:
        ShowMessage(window_, IDS_FILE_NOT_FOUND, MB_ICONWARNING, moviePath_.c_str());
        FocusField(window_, IDC_MOVIE_PATH);
        return -1;
    case MovieCheck::NotFlash:
        if (ShowMessage(window_, IDS_NOT_FLASH, MB_YESNO | MB_ICONWARNING, moviePath_.c_str()) !=
            IDYES) {
            FocusField(window_, IDC_MOVIE_PATH);
            return -1;
        }
        break;
    }
    const std::string parts = MoviePartsNotPlayed(moviePath_);
    if (!parts.empty() && ShowMessage(window_, IDS_PARTS_NOT_PLAYED, MB_YESNO | MB_ICONWARNING,
                                      parts.c_str()) != IDYES) {
        FocusField(window_, IDC_MOVIE_PATH);
        return -1;
    }
    if (!AcceptName()) {
        FocusField(window_, IDC_DISPLAY_NAME);
        return -1;
    }
    settings_->Set("DisplayName", displayName_);
    settings_->Set("MoviePath", moviePath_);
    return 0;
}

bool ScreenSaverPage::AcceptName() {
    // On Windows 95/98/Me the installer names the screen saver file after the display
    // name and refuses one that cannot be a file name; elsewhere any name works.
    char offending = 0;
    char argument[kMaxNameField + 8] = {0};
    UINT text = 0;
    switch (CheckFileName(displayName_.c_str(), &offending)) {
    case FileNameProblem::None:
    case FileNameProblem::Empty:
        return true;
    case FileNameProblem::Character:
        text = IDS_NAME_CHARACTER;
        wsprintfA(argument, static_cast<BYTE>(offending) < 32 ? "0x%02X" : "\"%c\"",
                  static_cast<BYTE>(offending));
        break;
    case FileNameProblem::Device:
        text = IDS_NAME_DEVICE;
        wsprintfA(argument, "\"%s\"", displayName_.c_str());
        break;
    }
    return ShowMessage(window_, text, MB_YESNO | MB_ICONWARNING, argument) == IDYES;
}

ProjectPage::ProjectPage(ProjectSettings* settings, std::string* previewPath)
    : WizardPage(IDD_PROJECT, kSmallTitle, PSWIZB_BACK | PSWIZB_NEXT),
      projectPath_(settings->ProjectPath()), installerPath_(settings->Get("DestinationPath")),
      settings_(settings), previewPath_(previewPath) {}

void ProjectPage::OnInitDialog() {
    if (WriteField(window_, IDC_PROJECT_PATH, projectPath_)) {
        WriteField(window_, IDC_INSTALLER_PATH, installerPath_);
    }
}

bool ProjectPage::OnCommand(int id, int) {
    if (id == IDC_BROWSE_INSTALLER) {
        BrowseFor(&installerPath_, "Executable files (*.exe)\0*.exe\0", "exe");
        return true;
    }
    if (id == IDC_BROWSE_PROJECT) {
        BrowseFor(&projectPath_, "Tovik Flickwell files (*.qmv)\0*.qmv\0All files (*.*)\0*.*\0",
                  "qmv");
        return true;
    }
    return false;
}

void ProjectPage::BrowseFor(std::string* target, const char* filter, const char* extension) {
    std::string chosen;
    const std::string initial = target->empty() ? settings_->Get("DisplayName") : *target;
    if (!AskForFile(true, filter, extension, initial, &chosen)) {
        return;
    }
    if (ReadField(window_, IDC_PROJECT_PATH, kMaxPathField, &projectPath_)) {
        ReadField(window_, IDC_INSTALLER_PATH, kMaxPathField, &installerPath_);
    }
    *target = chosen;
    if (WriteField(window_, IDC_PROJECT_PATH, projectPath_)) {
        WriteField(window_, IDC_INSTALLER_PATH, installerPath_);
    }
}

LONG_PTR ProjectPage::OnWizardNext() {
    if (!ReadField(window_, IDC_PROJECT_PATH, kMaxPathField, &projectPath_) ||
        !ReadField(window_, IDC_INSTALLER_PATH, kMaxPathField, &installerPath_)) {
        return -1;
    }
    if (projectPath_.empty() || installerPath_.empty()) {
        ShowMessage(window_, IDS_EMPTY_FIELD, MB_ICONWARNING);
        FocusField(window_, projectPath_.empty() ? IDC_PROJECT_PATH : IDC_INSTALLER_PATH);
        return -1;
    }
    // Nothing is written over the movie, a companion, or one output over the other.
    switch (CheckOutputs(projectPath_, installerPath_, settings_->Get("MoviePath"))) {
    case OutputCheck::Ok:
        break;
    case OutputCheck::InstallerIsInput:
        ShowMessage(window_, IDS_INSTALLER_IS_INPUT, MB_ICONWARNING, installerPath_.c_str());
        FocusField(window_, IDC_INSTALLER_PATH);
        return -1;
    case OutputCheck::ProjectIsInput:
        ShowMessage(window_, IDS_PROJECT_IS_INPUT, MB_ICONWARNING, projectPath_.c_str());
        FocusField(window_, IDC_PROJECT_PATH);
        return -1;
    }
    settings_->Set("DestinationPath", installerPath_);
    // An unwritable project file does not stop the build.
    settings_->Save(projectPath_.c_str());
    bool built;
    {
        WaitCursor wait;
        PackageBuilder builder;
        built = builder.Build(settings_->Get("MoviePath").c_str(), installerPath_.c_str(),
                              settings_->Get("DisplayName").c_str());
        if (built) {
            *previewPath_ = builder.PreviewPath();
        }
    }
    if (!built) {
        ShowMessage(window_, IDS_BUILD_FAILED, MB_ICONWARNING);
        return -1;
    }
    return 0;
}
