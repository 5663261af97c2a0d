// The four pages of the wizard and what they share.
#pragma once

#include "project_settings.h"
#include "wizard_ui.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

class WizardPage {
  public:
    WizardPage(UINT dialogId, int titlePoints, DWORD buttons);
    virtual ~WizardPage() {}
    WizardPage(const WizardPage&) = delete;
    WizardPage& operator=(const WizardPage&) = delete;

    // The platform's page description (its 48-byte form), with this object as parameter.
    PROPSHEETPAGEA* Description() { return &page_; }

  protected:
    virtual void OnInitDialog() {}
    // 0 moves on, -1 stays.
    virtual LONG_PTR OnWizardNext() { return 0; }
    virtual bool OnCommand(int id, int code);
    virtual void OnDestroy() {}

    HWND window_;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEA* page);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    PROPSHEETPAGEA page_;
    TitleFont titleFont_;
    HWND title_;
    DWORD buttons_;
};

class WelcomePage : public WizardPage {
  public:
    WelcomePage();

  protected:
    void OnInitDialog() override;
};

class FinishPage : public WizardPage {
  public:
    // `previewPath` names the preview copy of the last build (ProjectPage fills it).
    explicit FinishPage(const std::string* previewPath);

  protected:
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;

  private:
    const std::string* previewPath_;
};

// Starts the preview copy the last build made through the shell; nothing when it made
// none. Whatever the shell makes of it, the wizard says nothing.
void PreviewScreenSaver(HWND owner, const std::string& path);

class ScreenSaverPage : public WizardPage {
  public:
    explicit ScreenSaverPage(ProjectSettings* settings);

    bool NameEdited() const { return nameEdited_; }

  protected:
    void OnInitDialog() override;
    LONG_PTR OnWizardNext() override;
    bool OnCommand(int id, int code) override;
    void OnDestroy() override;

  private:
    static LRESULT CALLBACK MovieDropProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam);
    void BrowseMovie();
    // Proposes a name from the movie unless the user has given one.
    void FillName(const char* moviePath);
    // Warns about a name the Windows 95/98/Me installer refuses; true to go on.
    bool AcceptName();

    std::string displayName_;
    std::string moviePath_;
    ProjectSettings* settings_;
    bool nameEdited_;
};

class ProjectPage : public WizardPage {
  public:
    // A successful build puts its preview copy's path into `*previewPath`.
    ProjectPage(ProjectSettings* settings, std::string* previewPath);

  protected:
    void OnInitDialog() override;
    LONG_PTR OnWizardNext() override;
    bool OnCommand(int id, int code) override;

  private:
    // Save dialog for one of the two paths; `target` is the page field it fills.
    void BrowseFor(std::string* target, const char* filter, const char* extension);

    std::string projectPath_;
    std::string installerPath_;
    ProjectSettings* settings_;
    std::string* previewPath_;
};
