#include "player/core/engine.h"

#include <algorithm>
#include <utility>

#include "player/core/swf/movie_reader.h"
#include "player/core/timeline/frame_clock.h"

namespace engine {

struct Player::State {
    swf::Movie movie;
    FrameClock clock;
    bool loaded = false;
    std::function<void(const char*)> trace;
};

const char* LoadStatusText(LoadStatus status) {
    return swf::StatusText(static_cast<swf::ReadStatus>(status));
}

Player::Player() : state_(new State) {}
Player::~Player() = default;
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&&) noexcept = default;

LoadStatus Player::Load(const uint8_t* data, size_t size) {
    State fresh;
    fresh.trace = std::move(state_->trace);
    const swf::ReadStatus status = swf::ReadMovie(data, size, &fresh.movie, kMaxMovieBytes);
    fresh.loaded = status == swf::ReadStatus::Ok;
    if (fresh.loaded) {
        fresh.clock.Reset(fresh.movie.Header().frameCount, fresh.movie.Header().frameRate);
    }
    *state_ = std::move(fresh);
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
        return 0;
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
    return state_->clock.Frame();
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
    state_->clock.Play(nowMs);
}
void Player::Stop() {
    state_->clock.Stop();
}
void Player::GoTo(uint32_t frame) {
    state_->clock.GoTo(frame);
}
bool Player::Tick(uint32_t nowMs) {
    return state_->clock.Tick(nowMs);
}

void Player::Draw(const Surface& target, const Box& viewport) {
    const Box box{std::max(viewport.left, 0), std::max(viewport.top, 0),
                  std::min(viewport.right, target.width), std::min(viewport.bottom, target.height)};
    const uint32_t colour = 0xFF000000u | Background();
    for (int y = box.top; y < box.bottom; ++y) {
        std::fill(target.pixels + size_t(y) * target.stride + box.left,
                  target.pixels + size_t(y) * target.stride + box.right, colour);
    }
}

void Player::SetTraceSink(std::function<void(const char*)> sink) {
    state_->trace = std::move(sink);
}

} // namespace engine
