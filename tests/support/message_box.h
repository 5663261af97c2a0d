// Finds a process's message box, reads what it shows and presses its buttons, as a
// person would. Works for boxes of another process and for modal boxes of this one
// (run the waiting side on a second thread then: see MessageBoxAnswerer).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class BoxIcon { None, Error, Question, Warning, Information, Unknown };

struct MessageBoxInfo {
    HWND window = NULL;
    std::string caption;
    std::string text;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons; // control ids: IDOK, IDCANCEL, IDYES, IDNO, ...
    HWND owner = NULL;
};

const char* BoxIconName(BoxIcon icon);

// Waits up to `timeoutMs` for a visible message box of process `pid`.
bool WaitForMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* info);
// Presses button `id` of the box (the box need not belong to this process).
bool PressButton(const MessageBoxInfo& box, int id);

// Answers the next message box of this process from a second thread: waits for it,
// records what it showed, presses `button`. For code under test that shows modal boxes.
class MessageBoxAnswerer {
  public:
    explicit MessageBoxAnswerer(int button, DWORD timeoutMs = 10000);
    ~MessageBoxAnswerer(); // waits for the thread
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Waits for the thread and tells whether a box was seen; `Info` is valid then.
    bool Seen();
    const MessageBoxInfo& Info() const { return info_; }

  private:
    static DWORD WINAPI Run(void* self);

    int button_;
    DWORD timeoutMs_;
    HANDLE thread_;
    bool seen_;
    MessageBoxInfo info_;
};
