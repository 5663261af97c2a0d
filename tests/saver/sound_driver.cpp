// Runs a screen saver for the sound test (saver_sound.sh), which records what it plays:
// "full" full screen for four seconds, then closed as input would close it; "preview" in a
// preview window of this process's for as long, then closed with its parent.
// Usage: sound_driver SAVER.scr full|preview
#include <windows.h>

#include <cstdio>
#include <string>

#include "saver_process.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const bool preview = std::string(argv[2]) == "preview";
    HWND parent = NULL;
    if (preview) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "SoundPreviewParent";
        RegisterClassA(&wc);
        parent = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 320, 240, NULL, NULL, wc.hInstance, NULL);
    }
    SaverProcess saver;
    const std::string args =
        preview ? "/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent)) : "/s";
    if (!saver.Start(argv[1], args)) {
        std::printf("cannot start %s\n", argv[1]);
        return 3;
    }
    HWND window = saver.WaitForWindow(kSaverClass, parent);
    if (window == NULL) {
        std::printf("no saver window\n");
        return 4;
    }
    Pump(4000);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (parent != NULL) {
        DestroyWindow(parent);
    }
    const DWORD code = saver.WaitForExit(10000);
    std::printf("%s: saver ended with %lu\n", argv[2], static_cast<unsigned long>(code));
    return 0;
}
