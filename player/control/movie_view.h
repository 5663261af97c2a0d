// The player's window (class "FlickwellPlayer"): it runs the movie's frame timer, and when
// the engine says the picture changed it draws the frame into its back buffer and copies
// that to the screen. Nothing is drawn while the window cannot be seen, and a movie that
// does not change is not drawn again. The window also answers "FlickwellPlayerQuery".
// A movie with sound plays it while the window can be seen, paused while it cannot, and
// never when the window lies inside another process's window (a screen saver's preview).
#pragma once

#include <windows.h>

#include "player/control/back_buffer.h"
#include "player/control/system_sound.h"

class PlayerControl;

class MovieView {
  public:
    explicit MovieView(PlayerControl& control);
    ~MovieView();
    MovieView(const MovieView&) = delete;
    MovieView& operator=(const MovieView&) = delete;

    // A hidden child of `parent` at `position`, titled `text`.
    bool Create(HWND parent, const RECT& position, const wchar_t* text);
    void Destroy();
    HWND Handle() const { return window_; }

    // The movie was started, stopped or replaced: the timer follows the engine's state and
    // the whole picture is drawn anew.
    void Restart();
    // The picture changed without the clock (a jump, a colour): drawn anew when seen.
    void Invalidate();

    // Draws the current frame into `dc` at `bounds` (a container printing or composing).
    void PaintInto(HDC dc, const RECT& bounds);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimer();
    void OnPaint();
    // Draws the frame into `buffer`, one picture per viewport of the window's layout.
    void Render(BackBuffer* buffer, bool perMonitor);
    bool Seen() const;
    void OnSoundTimer();
    bool SoundAllowed() const;

    PlayerControl& control_;
    HWND window_ = NULL;
    UINT queryMessage_ = 0;
    BackBuffer buffer_;
    bool stale_ = true; // the back buffer no longer shows the current frame
    SoundOut sound_;
};
