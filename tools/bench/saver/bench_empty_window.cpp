// The yardstick for the screen saver's start-up: a Win32 program that only creates and
// destroys a window.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = CreateWindowExA(0, "STATIC", "empty", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, NULL,
                                  NULL, instance, NULL);
    DestroyWindow(window);
    return window != NULL ? 0 : 1;
}
