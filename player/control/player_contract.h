// What other programs know of the movie player control: its class, how containers should
// treat it, its window class, and the registered message through which another process
// reads its state from its window ("FlickwellPlayerQuery", wParam picks what).
#pragma once

#include <windows.h>

// {F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}
extern const CLSID CLSID_FlickwellPlayer;
// OLEMISC_ flags, answered to containers and written to the registry.
extern const DWORD kPlayerMiscStatus;
extern const wchar_t kPlayerWindowClass[];  // "FlickwellPlayer"
extern const wchar_t kPlayerQueryMessage[]; // "FlickwellPlayerQuery"

enum PlayerQuery {
    kQueryFrame = 0,       // 0-based frame number
    kQueryPlaying = 1,     // 1 while the movie plays, else 0
    kQueryTotalFrames = 2, // the movie's frame count, 0 without a movie
    kQueryBackground = 3,  // 0xRRGGBB as painted
    kQueryLoop = 4,        // 1 when the movie loops
    kQuerySurface = 5,     // width << 16 | height of the pixels the engine last drew into
};
