// The movie's timeline clock: which frame is showing, whether it runs, and when the next
// frame is due. Time comes in from the caller (milliseconds of any monotonic counter), so
// the clock holds no platform state and tests drive it with made-up times.
#pragma once

#include <cstdint>

class FrameClock {
  public:
    // A new movie: back to its first frame, stopped. A rate of 0 counts as the slowest
    // rate the format can state (1/256 frame per second).
    void Reset(uint32_t frameCount, uint16_t frameRate88);

    // Milliseconds between frames, at least 1.
    uint32_t IntervalMs() const { return interval_; }
    uint32_t FrameCount() const { return frameCount_; }
    uint32_t Frame() const { return frame_; } // 0-based
    bool Playing() const { return playing_; }
    bool Loop() const { return loop_; }

    void SetLoop(bool loop) { loop_ = loop; }
    // Starts from the current frame; from the first when the last frame was reached
    // without looping. Nothing plays without frames.
    void Play(uint32_t nowMs);
    void Stop() { playing_ = false; }
    // Jumps to a frame, clamped to the movie; the clock keeps running or stays stopped.
    void GoTo(uint32_t frame);

    // Advances by the frames due up to `nowMs`; gives true when the frame changed. A clock
    // that fell far behind (a busy or suspended machine) skips ahead instead of racing.
    bool Tick(uint32_t nowMs);

  private:
    bool Step(); // one frame on; false when it stopped at the end

    uint32_t frameCount_ = 0;
    uint32_t interval_ = 1000;
    uint32_t frame_ = 0;
    uint32_t due_ = 0; // when the next frame is due
    bool playing_ = false;
    bool loop_ = true;
};
