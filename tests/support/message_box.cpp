#include "message_box.h"
#include "window_driver.h"

#include <cstdlib>

namespace {

struct Search {
    DWORD pid;
    HWND found;
};

bool IsMessageBox(HWND window) {
    char cls[32] = {0};
    GetClassNameA(window, cls, sizeof(cls));
    // A dialog whose text is the static control 0xFFFF: the platform's message box.
    return lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window) &&
           GetDlgItem(window, 0xFFFF) != NULL;
}

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsMessageBox(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Children {
    HWND icon;
    std::vector<int> buttons;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    Children* children = reinterpret_cast<Children*>(param);
    char cls[32] = {0};
    GetClassNameA(child, cls, sizeof(cls));
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child)) {
        children->icon = child;
    } else if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child)) {
        children->buttons.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

// Icon handles do not compare across processes under Wine, so compare what the box's
// icon control shows on screen with what each system icon draws.
BoxIcon IdentifyIcon(HWND control) {
    if (control == NULL) {
        return BoxIcon::None;
    }
    RECT rect;
    GetWindowRect(control, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return BoxIcon::None;
    }
    const int size = 32;
    HDC screen = GetDC(NULL);
    HDC shown = CreateCompatibleDC(screen);
    HBITMAP shownBits = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldShown = SelectObject(shown, shownBits);
    BitBlt(shown, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
    COLORREF background = GetPixel(shown, 0, 0);
    // Wine keeps the icon control of a box without an icon, holding none. The handle
    // itself means nothing in this process, but whether there is one does.
    DWORD_PTR held = 0;
    SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &held);
    const bool blank = held == 0;
    const int w = width < size ? width : size, h = height < size ? height : size;

    struct Candidate {
        LPCSTR id;
        BoxIcon icon;
    } candidates[] = {{IDI_HAND, BoxIcon::Error},
                      {IDI_QUESTION, BoxIcon::Question},
                      {IDI_EXCLAMATION, BoxIcon::Warning},
                      {IDI_ASTERISK, BoxIcon::Information}};
    HDC drawn = CreateCompatibleDC(screen);
    HBITMAP drawnBits = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldDrawn = SelectObject(drawn, drawnBits);
    BoxIcon best = BoxIcon::Unknown;
    long bestScore = -1;
    for (const Candidate& c : candidates) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, size, size};
        FillRect(drawn, &all, brush);
        DeleteObject(brush);
        DrawIconEx(drawn, 0, 0, LoadIconA(NULL, c.id), size, size, 0, NULL, DI_NORMAL);
        long score = 0;
        for (int y = 0; y < h; y += 2) {
            for (int x = 0; x < w; x += 2) {
                COLORREF a = GetPixel(shown, x, y), b = GetPixel(drawn, x, y);
                score += std::abs(GetRValue(a) - GetRValue(b)) +
                         std::abs(GetGValue(a) - GetGValue(b)) +
                         std::abs(GetBValue(a) - GetBValue(b));
            }
        }
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = c.icon;
        }
    }
    // Far from every candidate: something else is shown (or nothing readable).
    if (blank) {
        best = BoxIcon::None;
    } else if (bestScore > 16 * 16 * 3 * 24) {
        best = BoxIcon::Unknown;
    }
    SelectObject(drawn, oldDrawn);
    DeleteObject(drawnBits);
    DeleteDC(drawn);
    SelectObject(shown, oldShown);
    DeleteObject(shownBits);
    DeleteDC(shown);
    ReleaseDC(NULL, screen);
    return best;
}

} // namespace

const char* BoxIconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::None:
        return "none";
    case BoxIcon::Error:
        return "error";
    case BoxIcon::Question:
        return "question";
    case BoxIcon::Warning:
        return "warning";
    case BoxIcon::Information:
        return "information";
    default:
        return "unknown";
    }
}

bool WaitForMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* info) {
    DWORD start = GetTickCount();
    Search search = {pid, NULL};
    for (;;) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL) {
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
    // Let the box finish painting before its icon is read from the screen.
    Sleep(300);
    HWND box = search.found;
    char caption[1024] = {0};
    GetWindowTextA(box, caption, sizeof(caption));
    Children children = {NULL, {}};
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    info->window = box;
    info->caption = caption;
    info->text = WindowText(GetDlgItem(box, 0xFFFF));
    info->buttons = children.buttons;
    info->icon = IdentifyIcon(children.icon);
    info->owner = GetWindow(box, GW_OWNER);
    return true;
}

bool PressButton(const MessageBoxInfo& box, int id) {
    HWND button = GetDlgItem(box.window, id);
    if (button == NULL) {
        return false;
    }
    return PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

MessageBoxAnswerer::MessageBoxAnswerer(int button, DWORD timeoutMs)
    : button_(button), timeoutMs_(timeoutMs), thread_(NULL), seen_(false) {
    thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    Seen();
}

bool MessageBoxAnswerer::Seen() {
    if (thread_ != NULL) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = NULL;
    }
    return seen_;
}

DWORD WINAPI MessageBoxAnswerer::Run(void* param) {
    MessageBoxAnswerer* self = static_cast<MessageBoxAnswerer*>(param);
    if (WaitForMessageBox(GetCurrentProcessId(), self->timeoutMs_, &self->info_)) {
        self->seen_ = true;
        PressButton(self->info_, self->button_);
    }
    return 0;
}
