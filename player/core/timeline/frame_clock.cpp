#include "player/core/timeline/frame_clock.h"

void FrameClock::Reset(uint32_t frameCount, uint16_t frameRate88) {
    frameCount_ = frameCount;
    const uint32_t rate = frameRate88 != 0 ? frameRate88 : 1;
    // 256000 / rate: milliseconds per frame from 8.8 frames per second, rounded.
    interval_ = (256000u + rate / 2) / rate;
    if (interval_ == 0) {
        interval_ = 1;
    }
    frame_ = 0;
    playing_ = false;
}

void FrameClock::Play(uint32_t nowMs) {
    if (frameCount_ == 0) {
        return;
    }
    if (!playing_ && !loop_ && frame_ + 1 >= frameCount_ && frameCount_ > 1) {
        frame_ = 0;
    }
    playing_ = true;
    due_ = nowMs + interval_;
}

void FrameClock::GoTo(uint32_t frame) {
    if (frameCount_ == 0) {
        return;
    }
    frame_ = frame < frameCount_ ? frame : frameCount_ - 1;
}

bool FrameClock::Step() {
    if (frame_ + 1 < frameCount_) {
        ++frame_;
        return true;
    }
    if (loop_) {
        frame_ = 0;
        return true;
    }
    playing_ = false;
    return false;
}

bool FrameClock::Tick(uint32_t nowMs) {
    if (!playing_) {
        return false;
    }
    const uint32_t before = frame_;
    // Unsigned differences keep this right across the counter's wrap.
    const uint32_t kMaxCatchUp = 4;
    uint32_t steps = 0;
    while (playing_ && static_cast<int32_t>(nowMs - due_) >= 0) {
        if (steps == kMaxCatchUp) {
            due_ = nowMs + interval_;
            break;
        }
        Step();
        due_ += interval_;
        ++steps;
    }
    return frame_ != before;
}
