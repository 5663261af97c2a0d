#include "window_driver.h"

#include <prsht.h>

namespace {

struct Search {
    DWORD pid;
    const char* cls;
    const char* title;
    bool children;
    HWND found;
};

bool Matches(HWND window, const Search& search) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.pid || !IsWindowVisible(window)) {
        return false;
    }
    char cls[64] = {0};
    GetClassNameA(window, cls, sizeof(cls));
    if (lstrcmpiA(cls, search.cls) != 0) {
        return false;
    }
    return search.title == NULL || WindowText(window) == search.title;
}

BOOL CALLBACK FindChild(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (Matches(window, *search)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (Matches(window, *search)) {
        search->found = window;
        return FALSE;
    }
    if (search->children) {
        EnumChildWindows(window, FindChild, param);
    }
    return search->found == NULL;
}

HWND WaitFor(Search search, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL || GetTickCount() - start > timeoutMs) {
            return search.found;
        }
        Sleep(50);
    }
}

} // namespace

HWND WaitForTopWindow(DWORD pid, const char* cls, const char* title, DWORD timeoutMs) {
    return WaitFor(Search{pid, cls, title, false, NULL}, timeoutMs);
}

HWND WaitForWindowOfClass(DWORD pid, const char* cls, DWORD timeoutMs) {
    return WaitFor(Search{pid, cls, NULL, true, NULL}, timeoutMs);
}

std::string WindowText(HWND window) {
    char text[2048] = {0};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

bool SetWindowTextOf(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, 5000, &result) != 0 &&
           WindowText(window) == text;
}

bool ClickButton(HWND dialog, int id) {
    // A page sets its buttons when it becomes active, which may come just after it shows.
    HWND button = NULL;
    for (int i = 0; i < 100; ++i) {
        button = GetDlgItem(dialog, id);
        if (button != NULL && IsWindowVisible(button) && IsWindowEnabled(button)) {
            break;
        }
        button = NULL;
        Sleep(50);
    }
    if (button == NULL) {
        return false;
    }
    // Posted: the press may start long work (a build) or a modal box in the other process.
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

HWND WaitForSheetPage(HWND sheet, int controlId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD_PTR page = 0;
        SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 1000, &page);
        HWND current = reinterpret_cast<HWND>(page);
        if (current != NULL && (controlId == 0 || GetDlgItem(current, controlId) != NULL)) {
            return current;
        }
        if (!IsWindow(sheet) || GetTickCount() - start > timeoutMs) {
            return NULL;
        }
        Sleep(50);
    }
}

void MoveMouseThrough(const POINT* points, int count) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    for (int i = 0; i < count; ++i) {
        INPUT input;
        ZeroMemory(&input, sizeof(input));
        input.type = INPUT_MOUSE;
        input.mi.dx = points[i].x * 65535 / (width - 1);
        input.mi.dy = points[i].y * 65535 / (height - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof(input));
        Sleep(100);
    }
}

DWORD WaitForExit(HANDLE process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    }
    return code;
}
