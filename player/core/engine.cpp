#include "player/core/engine.h"

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

#include "player/core/as3_host.h"
#include "player/core/avm2/media.h"
#include "player/core/render/renderer.h"
#include "player/core/script_host.h"
#include "player/core/sound_host.h"
#include "player/core/swf/reserve.h"
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

sound::Mp3Factory AdaptMp3(const Mp3DecoderSource& source) {
    if (!source) {
        return nullptr;
    }
    return [source](int rate, int channels) -> sound::FrameDecoder {
        std::shared_ptr<Mp3Decoder> d(source(rate, channels));
        if (!d) {
            return nullptr;
        }
        return [d](const uint8_t* frame, size_t size, int16_t* out, size_t capacity) {
            return d->DecodeFrame(frame, size, out, capacity);
        };
    };
}

static_assert(Player::kMaxDrawThreads == render::kMaxDrawThreads, "one limit");

int DefaultDrawThreads() {
    const unsigned cores = std::thread::hardware_concurrency(); // 0 when unknown
    return int(std::max(1u, std::min(unsigned(Player::kMaxDrawThreads), cores)));
}

} // namespace

struct Player::State {
    swf::Movie movie;
    timeline::LoadedMovie content;
    timeline::Stage stage;
    render::Renderer renderer;
    std::unique_ptr<SoundHost> sound;    // before the scripts: they point at it
    std::unique_ptr<ScriptHost> scripts; // after the stage: it goes first
    std::unique_ptr<As3Host> as3;        // instead of `scripts` for ActionScript 3 movies
    FrameClock clock;
    uint32_t startMs = 0; // movie time 0, for getTimer
    bool started = false;
    bool loaded = false;
    bool dirty = true;    // the picture changed since the last Draw
    bool failed = false;  // an allocation failed: stopped until the next Load
    bool toldCut = false; // a frame's drawing stopped at its budget, and the host was told
    int drawThreads = DefaultDrawThreads();
    State() { renderer.SetThreads(drawThreads); }
    std::function<void(const char*)> trace;
    std::function<void(const char*)> notice;
    DeviceGlyphSource deviceGlyphs;
    DeviceFontMetrics deviceMetrics;
    Mp3DecoderSource mp3;

    void SoundCompletions() {
        if (!sound) {
            return;
        }
        const std::vector<uint32_t> finished = sound->TakeFinished();
        if (scripts) {
            for (uint32_t handle : finished) {
                avm1::SoundCompleted(scripts->vm(), handle);
            }
        } else if (as3) {
            avm2::SoundsEnded(as3->vm(), finished);
        }
    }
    void SyncSound() {
        if (sound) {
            sound->Sync(stage);
        }
    }
    // The stage moved to the clock's frame by a jump (a goto or a loop back to the start):
    // its scripts' events run and its sounds follow.
    void JumpToClockFrame() {
        stage.GoTo(clock.Frame());
        if (as3)
            as3->RunEvents();
        else
            scripts->RunEvents();
        SyncSound();
        dirty = true;
    }

    // An empty state that keeps what the host set on the old one (sinks, glyphs, decoders,
    // threads). The old one goes first, to give its memory back.
    static void Renew(std::unique_ptr<State>& state) {
        State& old = *state;
        std::function<void(const char*)> keptTrace = std::move(old.trace);
        std::function<void(const char*)> keptNotice = std::move(old.notice);
        DeviceGlyphSource keptGlyphs = std::move(old.deviceGlyphs);
        Mp3DecoderSource keptMp3 = std::move(old.mp3);
        const DeviceFontMetrics keptMetrics = old.deviceMetrics;
        const int keptThreads = old.drawThreads;
        state.reset();
        memory::Rearm();
        state.reset(new State);
        State& fresh = *state;
        fresh.trace = std::move(keptTrace);
        fresh.notice = std::move(keptNotice);
        fresh.deviceGlyphs = std::move(keptGlyphs);
        fresh.deviceMetrics = keptMetrics;
        fresh.mp3 = std::move(keptMp3);
        fresh.drawThreads = keptThreads;
        fresh.renderer.SetThreads(fresh.drawThreads);
    }
};

const char* LoadStatusText(LoadStatus status) {
    return swf::StatusText(static_cast<swf::ReadStatus>(status));
}

Player::Player() {
    memory::Hold(); // before the state: a refusal while it is made finds the reserve
    state_.reset(new State);
}
Player::~Player() {
    if (state_) {
        state_.reset();
        memory::Release();
    }
}
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&& other) noexcept {
    if (this != &other) {
        if (state_) {
            state_.reset();
            memory::Release();
        }
        state_ = std::move(other.state_); // its hold on the reserve comes along
    }
    return *this;
}

// Called when a refusal was counted during a call: the movie stops and its content goes,
// which gives back the memory to arm the reserve again.
void Player::Fail(const char* where) noexcept {
    State::Renew(state_);
    State& s = *state_;
    s.failed = true;
    s.dirty = true;
    if (s.notice) {
        char line[96] = "out of memory: the movie stopped while ";
        const size_t used = std::char_traits<char>::length(line);
        for (size_t i = 0; where[i] != 0 && used + i + 1 < sizeof line; ++i) {
            line[used + i] = where[i];
            line[used + i + 1] = 0;
        }
        s.notice(line);
    }
}

// At the end of an entry point: whether the system refused memory since it began (then
// the movie has stopped). A reserve taken by a refusal outside any call is armed again.
bool Player::Refused(uint32_t failuresBefore, const char* where) noexcept {
    if (memory::Failures() == failuresBefore) {
        memory::Rearm();
        return false;
    }
    Fail(where);
    return true;
}

bool Player::Failed() const {
    return state_->failed;
}

LoadStatus Player::Load(const uint8_t* data, size_t size) {
    const uint32_t before = memory::Failures();
    // A fresh state in place: the stage and renderer point into the loaded content.
    State::Renew(state_);
    const LoadStatus status = LoadInto(*state_, data, size);
    return Refused(before, "loading") ? LoadStatus::OutOfMemory : status;
}

LoadStatus Player::LoadInto(State& s, const uint8_t* data, size_t size) {
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
        if (UsesActionScript3(s.movie)) {
            s.sound.reset(new SoundHost(s.movie, s.movie.Header().frameRate / 256.0));
            s.sound->SetNotice(s.notice);
            s.sound->SetMp3(AdaptMp3(s.mp3));
            s.stage.SetScriptedButtons(true);
            s.stage.Start();
            s.as3.reset(new As3Host(&s.stage, &s.content, s.movie, (r.xMax - r.xMin) / 20.0,
                                    (r.yMax - r.yMin) / 20.0));
            s.as3->vm().SetSound(s.sound.get());
            s.as3->SetSinks(s.trace, s.notice);
            if (s.deviceGlyphs) {
                s.as3->SetDeviceGlyphs(Adapt(s.deviceGlyphs),
                                       {s.deviceMetrics.ascent, s.deviceMetrics.descent});
            }
            s.as3->SetFileBytes(size);
            s.as3->Start();
            s.SyncSound();
        } else {
            s.scripts.reset(new ScriptHost(&s.stage, &s.content, s.movie.Header().version,
                                           (r.xMax - r.xMin) / 20.0, (r.yMax - r.yMin) / 20.0));
            s.scripts->SetSinks(s.trace, s.notice);
            if (s.deviceGlyphs) {
                s.scripts->SetDeviceGlyphs(Adapt(s.deviceGlyphs),
                                           {s.deviceMetrics.ascent, s.deviceMetrics.descent});
            }
            s.sound.reset(new SoundHost(s.movie, s.movie.Header().frameRate / 256.0));
            s.sound->SetNotice(s.notice);
            s.sound->SetMp3(AdaptMp3(s.mp3));
            s.scripts->vm().SetSound(s.sound.get());
            s.stage.Start();
            s.scripts->Start();
            s.SyncSound();
        }
        if (s.content.skippedDefinitions != 0 && s.notice) {
            s.notice("some damaged definitions were skipped");
        }
        if (s.content.overBudget != 0 && s.notice) {
            s.notice("shapes and fonts beyond the movie's edge budget were left out");
        }
        if (s.movie.Truncated() && s.notice) {
            s.notice("the movie ends early: its whole frames play");
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
    if (s.failed) {
        return;
    }
    if (!s.started) {
        s.started = true;
        s.startMs = nowMs;
    }
    const uint32_t before = s.clock.Frame();
    s.clock.Play(nowMs);
    if (s.clock.Frame() != before && s.loaded) {
        // Played again from the start after the last frame.
        const uint32_t failures = memory::Failures();
        s.JumpToClockFrame();
        Refused(failures, "starting again");
    }
}
void Player::Stop() {
    state_->clock.Stop();
}
void Player::GoTo(uint32_t frame) {
    State& s = *state_;
    if (s.failed) {
        return;
    }
    s.clock.GoTo(frame);
    if (s.loaded && s.clock.Frame() != s.stage.Frame()) {
        const uint32_t failures = memory::Failures();
        s.JumpToClockFrame();
        Refused(failures, "going to a frame");
    }
}

bool Player::Tick(uint32_t nowMs) {
    State& s = *state_;
    if (s.failed) {
        return s.dirty;
    }
    s.clock.Tick(nowMs);
    if (!s.started) {
        s.started = true;
        s.startMs = nowMs;
    }
    if (!s.loaded) {
        return s.dirty;
    }
    const uint32_t failures = memory::Failures();
    s.SoundCompletions();
    // A main-timeline stream, while the host plays it, sets the pace instead of the clock.
    const int due = s.sound ? s.sound->StepsDue(s.stage.Frame()) : -1;
    const uint32_t steps = due >= 0 ? uint32_t(due) : s.clock.LastSteps();
    for (uint32_t i = 0; i < steps && s.loaded && memory::Failures() == failures; ++i) {
        if (s.as3 ? s.as3->Frame(double(nowMs - s.startMs))
                  : s.scripts->Frame(double(nowMs - s.startMs))) {
            s.dirty = true;
        }
        s.SyncSound();
    }
    Refused(failures, "playing a frame");
    return state_->dirty;
}

void Player::Draw(const Surface& target, const Box& viewport) {
    State& s = *state_;
    const Box box{std::max(viewport.left, 0), std::max(viewport.top, 0),
                  std::min(viewport.right, target.width), std::min(viewport.bottom, target.height)};
    if (box.right <= box.left || box.bottom <= box.top || target.pixels == nullptr) {
        return;
    }
    const uint32_t colour = 0xFF000000u | Background();
    s.dirty = false;
    const int32_t w = StageWidthTwips(), h = StageHeightTwips();
    if (!s.loaded || s.failed || w <= 0 || h <= 0) {
        for (int y = box.top; y < box.bottom; ++y) {
            std::fill(target.pixels + size_t(y) * target.stride + box.left,
                      target.pixels + size_t(y) * target.stride + box.right, colour);
        }
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
    const uint32_t failures = memory::Failures();
    // The background is laid by the drawing threads, each under its own rows.
    s.renderer.Draw(s.content, s.stage.Root(), canvas, view, scale, &colour);
    if (s.renderer.WasCut() && !s.toldCut && s.notice) {
        s.toldCut = true;
        s.notice("a frame asks for more drawing than the player gives it: part is left out");
    }
    Refused(failures, "drawing"); // leaves it dirty: the next picture is the background
}

void Player::SetDrawThreads(int count) {
    const uint32_t failures = memory::Failures();
    State& s = *state_;
    s.drawThreads = std::max(1, std::min(kMaxDrawThreads, count));
    s.renderer.SetThreads(s.drawThreads);
    Refused(failures, "starting the drawing threads");
}

void Player::SetTraceSink(std::function<void(const char*)> sink) {
    const uint32_t failures = memory::Failures();
    state_->trace = std::move(sink);
    if (state_->scripts) {
        state_->scripts->SetSinks(state_->trace, state_->notice);
    }
    if (state_->as3) {
        state_->as3->SetSinks(state_->trace, state_->notice);
    }
    Refused(failures, "setting the trace sink");
}

void Player::SetNoticeSink(std::function<void(const char*)> sink) {
    const uint32_t failures = memory::Failures();
    state_->notice = std::move(sink);
    if (state_->sound) {
        state_->sound->SetNotice(state_->notice);
    }
    if (state_->scripts) {
        state_->scripts->SetSinks(state_->trace, state_->notice);
    }
    if (state_->as3) {
        state_->as3->SetSinks(state_->trace, state_->notice);
    }
    Refused(failures, "setting the notice sink");
}

bool Player::HasSound() const {
    return state_->sound && !state_->sound->Empty();
}

void Player::MixSound(int16_t* out, size_t frames) {
    if (state_->sound && !state_->failed) {
        const uint32_t failures = memory::Failures();
        state_->sound->Mix(out, frames);
        if (!Refused(failures, "mixing sound")) {
            return;
        }
    }
    std::fill(out, out + frames * 2, int16_t(0));
}

void Player::SetMp3Decoder(Mp3DecoderSource source) {
    const uint32_t failures = memory::Failures();
    state_->mp3 = std::move(source);
    if (state_->sound) {
        state_->sound->SetMp3(AdaptMp3(state_->mp3));
    }
    Refused(failures, "setting the MP3 decoder");
}

void Player::SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics) {
    const uint32_t failures = memory::Failures();
    state_->deviceGlyphs = source;
    state_->deviceMetrics = metrics;
    state_->renderer.SetDeviceGlyphs(Adapt(source), {metrics.ascent, metrics.descent});
    if (state_->scripts) {
        state_->scripts->SetDeviceGlyphs(Adapt(source), {metrics.ascent, metrics.descent});
    }
    if (state_->as3) {
        state_->as3->SetDeviceGlyphs(Adapt(std::move(source)), {metrics.ascent, metrics.descent});
    }
    state_->dirty = true;
    Refused(failures, "setting the device fonts");
}

MemoryGuard::MemoryGuard() noexcept : failures_(memory::Failures()), held_(memory::Hold()) {}
MemoryGuard::~MemoryGuard() {
    memory::Release();
}
bool MemoryGuard::Refused() const noexcept {
    return memory::Failures() != failures_;
}

} // namespace engine
