#include "wizard_ui.h"

#include "resource.h"

#include <vector>

namespace {
HINSTANCE g_instance = NULL;
}

void InitWizardModule(HINSTANCE instance) {
    g_instance = instance;
}
void TermWizardModule() {
    g_instance = NULL;
}
HINSTANCE WizardInstance() {
    return g_instance != NULL ? g_instance : GetModuleHandleA(NULL);
}

std::string LoadText(UINT id) {
    char text[1024] = {0};
    LoadStringA(WizardInstance(), id, text, sizeof(text));
    return text;
}

int ShowMessage(HWND owner, UINT textId, UINT flags, const char* argument) {
    std::string text = LoadText(textId);
    if (argument != NULL) {
        // Only the one placeholder is replaced; the argument is never read as a format.
        size_t at = text.find("%s");
        if (at != std::string::npos) {
            text.replace(at, 2, argument);
        }
    }
    return MessageBoxA(owner, text.c_str(), LoadText(IDS_CAPTION).c_str(), flags);
}

LOGFONTA TitleFont::Describe(const LOGFONTA& messageFont, int pixelsPerInch, int points) {
    LOGFONTA font = messageFont;
    font.lfWeight = FW_BOLD;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    font.lfHeight = -(pixelsPerInch * points / 72);
    return font;
}

TitleFont::TitleFont(int points) {
    // The structure as it was before Vista added a field: the size every version accepts.
    NONCLIENTMETRICSA metrics;
    ZeroMemory(&metrics, sizeof(metrics));
    metrics.cbSize = 340;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0);
    HDC screen = GetDC(NULL);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    LOGFONTA font = Describe(metrics.lfMessageFont, pixelsPerInch, points);
    font_.Reset(CreateFontIndirectA(&font));
}

void CenterOnOwner(HWND window, HWND reference) {
    const bool child = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT bounds, area;
    HWND parent = child ? GetParent(window) : NULL;
    if (child) {
        if (parent == NULL) {
            return;
        }
        GetClientRect(parent, &bounds);
        area = bounds;
        if (reference != NULL) {
            GetWindowRect(reference, &bounds);
            MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&bounds), 2);
        }
    } else {
        HWND over = reference != NULL ? reference : GetWindow(window, GW_OWNER);
        if (over != NULL && (!IsWindowVisible(over) || IsIconic(over))) {
            over = NULL;
        }
        MONITORINFO monitor;
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoA(MonitorFromWindow(over != NULL ? over : window, MONITOR_DEFAULTTOPRIMARY),
                        &monitor);
        area = monitor.rcWork;
        if (over != NULL) {
            GetWindowRect(over, &bounds);
        } else {
            bounds = area;
        }
    }
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    int left = (bounds.left + bounds.right - width) / 2;
    int top = (bounds.top + bounds.bottom - height) / 2;
    if (left + width > area.right) {
        left = area.right - width;
    }
    if (left < area.left) {
        left = area.left;
    }
    if (top + height > area.bottom) {
        top = area.bottom - height;
    }
    if (top < area.top) {
        top = area.top;
    }
    SetWindowPos(window, NULL, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
void Complain(HWND control) {
    MessageBeep(0xFFFFFFFF);
    SetFocus(control);
}
} // namespace

bool WriteField(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL || !SetWindowTextA(control, text.c_str())) {
        Complain(control);
        return false;
    }
    return true;
}

bool ReadField(HWND dialog, int id, size_t limit, std::string* text) {
    HWND control = GetDlgItem(dialog, id);
    const int length = control != NULL ? GetWindowTextLengthA(control) : -1;
    if (length < 0 || static_cast<size_t>(length) > limit) {
        Complain(control);
        return false;
    }
    std::vector<char> buffer(length + 1, '\0');
    const int read = GetWindowTextA(control, buffer.data(), length + 1);
    if (read < length) {
        Complain(control);
        return false;
    }
    text->assign(buffer.data(), read);
    return true;
}
