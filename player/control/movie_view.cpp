#include "player/control/movie_view.h"

#include "player/control/class_factory.h"
#include "player/control/monitor_layout.h"
#include "player/control/player_contract.h"
#include "player/control/player_control.h"

namespace {

const UINT_PTR kFrameTimer = 1;
const UINT_PTR kSoundTimer = 2;
const UINT kSoundPeriodMs = 10; // refills well inside the 100 ms the buffers hold

// The monitors' rectangles, collected by EnumDisplayMonitors.
struct MonitorList {
    engine::Box boxes[kMaxViewports + 1];
    size_t count = 0;
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
    MonitorList* list = reinterpret_cast<MonitorList*>(data);
    if (list->count == kMaxViewports + 1) {
        return FALSE; // enough to know there are too many
    }
    list->boxes[list->count++] = engine::Box{rect->left, rect->top, rect->right, rect->bottom};
    return TRUE;
}

} // namespace

MovieView::MovieView(PlayerControl& control) : control_(control) {}

MovieView::~MovieView() {
    Destroy();
}

bool MovieView::Create(HWND parent, const RECT& position, const wchar_t* text) {
    WNDCLASSW wc = {};
    if (!GetClassInfoW(ModuleInstance(), kPlayerWindowClass, &wc)) {
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ModuleInstance();
        wc.hCursor = LoadCursor(NULL, IDC_ARROW);
        wc.lpszClassName = kPlayerWindowClass;
        if (RegisterClassW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
    }
    queryMessage_ = RegisterWindowMessageW(kPlayerQueryMessage);
    stale_ = true;
    window_ =
        CreateWindowExW(0, kPlayerWindowClass, text, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        position.left, position.top, position.right - position.left,
                        position.bottom - position.top, parent, NULL, ModuleInstance(), this);
    return window_ != NULL;
}

void MovieView::Destroy() {
    sound_.Close(); // at once: nothing queued plays on
    if (window_ != NULL) {
        KillTimer(window_, kFrameTimer);
        KillTimer(window_, kSoundTimer);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        window_ = NULL;
    }
    buffer_.Resize(0, 0);
}

void MovieView::Restart() {
    if (window_ == NULL) {
        return;
    }
    engine::Player& movie = control_.Movie();
    if (movie.Playing()) {
        SetTimer(window_, kFrameTimer, movie.FrameIntervalMs(), NULL);
    } else {
        KillTimer(window_, kFrameTimer);
    }
    // Event sounds play on after the timeline stops, so the sound timer runs on.
    if (movie.HasSound() && SoundAllowed()) {
        SetTimer(window_, kSoundTimer, kSoundPeriodMs, NULL);
    } else {
        KillTimer(window_, kSoundTimer);
    }
    Invalidate();
}

// Inside a window of another process (the display settings' preview), the movie is silent.
bool MovieView::SoundAllowed() const {
    DWORD process = 0;
    GetWindowThreadProcessId(GetAncestor(window_, GA_ROOT), &process);
    return process == GetCurrentProcessId();
}

// No device opens only once: a machine without sound plays silently, saying nothing.
void MovieView::OnSoundTimer() {
    if (!Seen()) {
        sound_.Pause();
        return;
    }
    if (!sound_.IsOpen()) {
        if (!sound_.Open()) {
            KillTimer(window_, kSoundTimer);
            return;
        }
    }
    sound_.Resume();
    sound_.Fill(control_.Movie());
}

void MovieView::Invalidate() {
    stale_ = true;
    if (window_ != NULL && Seen()) {
        InvalidateRect(window_, NULL, FALSE);
    }
}

// Visible, in a window that is not minimised: otherwise a frame is not worth drawing.
bool MovieView::Seen() const {
    return IsWindowVisible(window_) && !IsIconic(GetAncestor(window_, GA_ROOT));
}

void MovieView::OnTimer() {
    engine::Player& movie = control_.Movie();
    if (movie.Tick(GetTickCount())) {
        Invalidate();
    }
    if (!movie.Playing()) {
        KillTimer(window_, kFrameTimer);
    }
}

void MovieView::Render(BackBuffer* buffer, bool perMonitor) {
    engine::Player& movie = control_.Movie();
    const uint32_t shown = control_.BackgroundShown();
    buffer->Fill(shown);
    if (!movie.Loaded()) {
        return;
    }
    engine::Box viewports[kMaxViewports];
    size_t count = 1;
    viewports[0] = engine::Box{0, 0, buffer->Width(), buffer->Height()};
    if (perMonitor) {
        POINT origin = {0, 0};
        ClientToScreen(window_, &origin);
        const engine::Box client{origin.x, origin.y, origin.x + buffer->Width(),
                                 origin.y + buffer->Height()};
        MonitorList monitors;
        EnumDisplayMonitors(NULL, NULL, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
        count = MovieViewports(client, monitors.boxes, monitors.count, viewports);
    }
    const engine::Surface surface = buffer->Surface();
    for (size_t i = 0; i < count; ++i) {
        movie.Draw(surface, viewports[i]);
    }
    // A host's colour takes the place of the stage colour the engine drew.
    if (control_.BackgroundOverride() >= 0 && shown != movie.Background()) {
        buffer->Replace(movie.Background(), shown);
    }
}

void MovieView::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (dc == NULL) {
        return;
    }
    RECT client;
    GetClientRect(window_, &client);
    if (buffer_.Width() != client.right || buffer_.Height() != client.bottom) {
        stale_ = true;
    }
    if (stale_ && buffer_.Resize(client.right, client.bottom)) {
        Render(&buffer_, true);
        stale_ = false;
    }
    if (!buffer_.Empty()) {
        buffer_.Present(dc, 0, 0);
    } else {
        // Too large to buffer: the colour alone.
        const uint32_t rgb = control_.BackgroundShown();
        GdiObject brush(CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF)));
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(brush.Get()));
    }
    EndPaint(window_, &paint);
}

void MovieView::PaintInto(HDC dc, const RECT& bounds) {
    BackBuffer picture;
    if (picture.Resize(bounds.right - bounds.left, bounds.bottom - bounds.top)) {
        Render(&picture, false);
        picture.Present(dc, bounds.left, bounds.top);
        return;
    }
    const uint32_t rgb = control_.BackgroundShown();
    GdiObject brush(CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF)));
    FillRect(dc, &bounds, static_cast<HBRUSH>(brush.Get()));
}

LRESULT CALLBACK MovieView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    MovieView* view = reinterpret_cast<MovieView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        view->window_ = NULL;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (view->window_ == NULL) {
        view->window_ = window; // messages sent from inside CreateWindowEx
    }
    // Nothing throws here (the control and the engine are built without exceptions): a
    // refused allocation is granted from the engine's reserve while a player lives.
    return view->OnMessage(message, wParam, lParam);
}

LRESULT MovieView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_TIMER:
        if (wParam == kFrameTimer) {
            OnTimer();
            return 0;
        }
        if (wParam == kSoundTimer) {
            OnSoundTimer();
            return 0;
        }
        break;
    case WM_SIZE:
    case WM_DISPLAYCHANGE:
        Invalidate(); // the layout of the picture changes with the window
        break;
    case WM_SHOWWINDOW:
        if (!wParam) {
            sound_.Pause();
        }
        if (wParam && stale_) {
            InvalidateRect(window_, NULL, FALSE);
        }
        break;
    case WM_MOUSEACTIVATE:
        control_.OnMouseActivate();
        break;
    default:
        if (message == queryMessage_ && queryMessage_ != 0) {
            if (wParam == kQuerySurface) {
                return (LRESULT(buffer_.Width()) << 16) | buffer_.Height();
            }
            return control_.Query(static_cast<int>(wParam));
        }
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}
