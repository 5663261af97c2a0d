#include "player/core/engine.h"

#include <algorithm>
#include <utility>

#include "player/core/as3_host.h"
#include "player/core/render/renderer.h"
#include "player/core/script_host.h"
#include "player/core/swf/movie_reader.h"
#include "player/core/timeline/display_list.h"
#include "player/core/timeline/frame_clock.h"

namespace engine {

namespace {

render::DeviceGlyphSource Adapt(DeviceGlyphSource source) {
    if (!source) {
        return nullptr;
    }
    return [source](const char* font, bool bold, bool italic, uint32_t code,
                    render::DeviceGlyph* out) {
        DeviceGlyph g;
        if (!source(font, bold, italic, code, &g)) {
            return false;
        }
        out->advance = g.advance;
        out->edges.clear();
        for (size_t i = 0; i < g.edges.size() && i < swf::kMaxEdgesPerShape; ++i) {
            const GlyphEdge& e = g.edges[i];
            swf::Edge edge;
            edge.x0 = e.x0;
            edge.y0 = e.y0;
            edge.cx = e.cx;
            edge.cy = e.cy;
            edge.x1 = e.x1;
            edge.y1 = e.y1;
            edge.curved = e.curved;
            edge.fill1 = 1;
            out->edges.push_back(edge);
        }
        return true;
    };
}

} // namespace

struct Player::State {
    swf::Movie movie;
    timeline::LoadedMovie content;
    timeline::Stage stage;
    render::Renderer renderer;
    std::unique_ptr<ScriptHost> scripts; // after the stage: it goes first
    std::unique_ptr<As3Host> as3;        // instead of `scripts` for ActionScript 3 movies
    FrameClock clock;
    uint32_t startMs = 0; // movie time 0, for getTimer
    bool started = false;
    bool loaded = false;
    bool dirty = true; // the picture changed since the last Draw
    std::function<void(const char*)> trace;
    std::function<void(const char*)> notice;
    DeviceGlyphSource deviceGlyphs;
    DeviceFontMetrics deviceMetrics;
};

const char* LoadStatusText(LoadStatus status) {
    return swf::StatusText(static_cast<swf::ReadStatus>(status));
}

Player::Player() : state_(new State) {}
Player::~Player() = default;
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&&) noexcept = default;

LoadStatus Player::Load(const uint8_t* data, size_t size) {
    // A fresh state in place: the stage and renderer point into the loaded content.
    std::unique_ptr<State> fresh(new State);
    fresh->trace = std::move(state_->trace);
    fresh->notice = std::move(state_->notice);
    fresh->deviceGlyphs = std::move(state_->deviceGlyphs);
    fresh->deviceMetrics = state_->deviceMetrics;
    state_ = std::move(fresh);
    State& s = *state_;
    const swf::ReadStatus status = swf::ReadMovie(data, size, &s.movie, kMaxMovieBytes);
    if (s.deviceGlyphs) {
        s.renderer.SetDeviceGlyphs(Adapt(s.deviceGlyphs),
                                   {s.deviceMetrics.ascent, s.deviceMetrics.descent});
    }
    s.loaded = status == swf::ReadStatus::Ok;
    if (s.loaded) {
        timeline::LoadMovie(s.movie, &s.content);
        s.clock.Reset(s.content.main.frameCount, s.movie.Header().frameRate);
        s.stage.Reset(&s.content);
        s.renderer.SetStage(&s.stage);
        const swf::Rect& r = s.movie.Header().stage;
        s.stage.Start();
        if (UsesActionScript3(s.movie)) {
            s.as3.reset(new As3Host(&s.stage, &s.content, s.movie, (r.xMax - r.xMin) / 20.0,
                                    (r.yMax - r.yMin) / 20.0));
            s.as3->SetSinks(s.trace, s.notice);
            s.as3->Start();
        } else {
            s.scripts.reset(new ScriptHost(&s.stage, &s.content, s.movie.Header().version,
                                           (r.xMax - r.xMin) / 20.0, (r.yMax - r.yMin) / 20.0));
            s.scripts->SetSinks(s.trace, s.notice);
            s.scripts->Start();
        }
        if (s.content.skippedDefinitions != 0 && s.notice) {
            s.notice("some damaged definitions were skipped");
        }
    } else {
        s.movie = swf::Movie();
    }
    s.dirty = true;
    return static_cast<LoadStatus>(status);
}

bool Player::Loaded() const {
    return state_->loaded;
}

int32_t Player::StageWidthTwips() const {
    const swf::Rect& r = state_->movie.Header().stage;
    return state_->loaded ? r.xMax - r.xMin : 0;
}

int32_t Player::StageHeightTwips() const {
    const swf::Rect& r = state_->movie.Header().stage;
    return state_->loaded ? r.yMax - r.yMin : 0;
}

uint32_t Player::Background() const {
    if (!state_->loaded || !state_->movie.HasBackground())
        return state_->loaded ? 0xFFFFFFu : 0;
    const swf::Rgb c = state_->movie.Background();
    return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
}

uint16_t Player::FrameRate88() const {
    return state_->loaded ? state_->movie.Header().frameRate : 0;
}
uint32_t Player::FrameIntervalMs() const {
    return state_->clock.IntervalMs();
}
uint32_t Player::CurrentFrame() const {
    return state_->stage.Frame();
}
uint32_t Player::FrameCount() const {
    return state_->loaded ? state_->clock.FrameCount() : 0;
}
bool Player::Playing() const {
    return state_->clock.Playing();
}
bool Player::Loop() const {
    return state_->clock.Loop();
}
void Player::SetLoop(bool loop) {
    state_->clock.SetLoop(loop);
}
void Player::Play(uint32_t nowMs) {
    State& s = *state_;
    if (!s.started) {
        s.started = true;
        s.startMs = nowMs;
    }
    const uint32_t before = s.clock.Frame();
    s.clock.Play(nowMs);
    if (s.clock.Frame() != before && s.loaded) {
        // Played again from the start after the last frame.
        s.stage.GoTo(s.clock.Frame());
        if (s.as3)
            s.as3->RunEvents();
        else
            s.scripts->RunEvents();
        s.dirty = true;
    }
}
void Player::Stop() {
    state_->clock.Stop();
}
void Player::GoTo(uint32_t frame) {
    State& s = *state_;
    s.clock.GoTo(frame);
    if (s.loaded && s.clock.Frame() != s.stage.Frame()) {
        s.stage.GoTo(s.clock.Frame());
        if (s.as3)
            s.as3->RunEvents();
        else
            s.scripts->RunEvents();
        s.dirty = true;
    }
}

bool Player::Tick(uint32_t nowMs) {
    State& s = *state_;
    s.clock.Tick(nowMs);
    if (!s.started) {
        s.started = true;
        s.startMs = nowMs;
    }
    for (uint32_t i = 0; i < s.clock.LastSteps() && s.loaded; ++i) {
        if (s.as3 ? s.as3->Frame(double(nowMs - s.startMs))
                  : s.scripts->Frame(double(nowMs - s.startMs))) {
            s.dirty = true;
        }
    }
    return s.dirty;
}

void Player::Draw(const Surface& target, const Box& viewport) {
    State& s = *state_;
    const Box box{std::max(viewport.left, 0), std::max(viewport.top, 0),
                  std::min(viewport.right, target.width), std::min(viewport.bottom, target.height)};
    if (box.right <= box.left || box.bottom <= box.top || target.pixels == nullptr) {
        return;
    }
    const uint32_t colour = 0xFF000000u | Background();
    for (int y = box.top; y < box.bottom; ++y) {
        std::fill(target.pixels + size_t(y) * target.stride + box.left,
                  target.pixels + size_t(y) * target.stride + box.right, colour);
    }
    s.dirty = false;
    const int32_t w = StageWidthTwips(), h = StageHeightTwips();
    if (!s.loaded || w <= 0 || h <= 0) {
        return;
    }
    // showAll: the whole stage fits, aspect kept, centred in the viewport.
    const int vw = viewport.right - viewport.left, vh = viewport.bottom - viewport.top;
    const double scale = std::min(vw * 20.0 / w, vh * 20.0 / h);
    const double offsetX = viewport.left - box.left + (vw - w / 20.0 * scale) / 2;
    const double offsetY = viewport.top - box.top + (vh - h / 20.0 * scale) / 2;
    render::Transform view;
    view.a = view.d = scale / 20;
    view.tx = offsetX - s.movie.Header().stage.xMin * view.a;
    view.ty = offsetY - s.movie.Header().stage.yMin * view.d;
    if (const timeline::DisplayObject* root = s.stage.Find(timeline::kRootId)) {
        view = view * render::Transform::From(root->matrix); // a script moved _root
    }
    render::Canvas canvas;
    canvas.pixels = target.pixels + size_t(box.top) * target.stride + box.left;
    canvas.width = box.right - box.left;
    canvas.height = box.bottom - box.top;
    canvas.stride = target.stride;
    s.renderer.Draw(s.content, s.stage.Root(), canvas, view, scale);
}

void Player::SetTraceSink(std::function<void(const char*)> sink) {
    state_->trace = std::move(sink);
    if (state_->scripts) {
        state_->scripts->SetSinks(state_->trace, state_->notice);
    }
    if (state_->as3) {
        state_->as3->SetSinks(state_->trace, state_->notice);
    }
}

void Player::SetNoticeSink(std::function<void(const char*)> sink) {
    state_->notice = std::move(sink);
    if (state_->scripts) {
        state_->scripts->SetSinks(state_->trace, state_->notice);
    }
    if (state_->as3) {
        state_->as3->SetSinks(state_->trace, state_->notice);
    }
}

void Player::SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics) {
    state_->deviceGlyphs = source;
    state_->deviceMetrics = metrics;
    state_->renderer.SetDeviceGlyphs(Adapt(std::move(source)), {metrics.ascent, metrics.descent});
    state_->dirty = true;
}

} // namespace engine
