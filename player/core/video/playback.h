// A video character's frames and one placed instance's playback: the picture its ratio
// names, decoded on demand forward from the nearest keyframe (or from the frame shown when
// that is closer), only the current picture kept. A frame that does not decode leaves the
// last good picture up until the next keyframe. Decoded pictures count against a budget
// shared by the whole movie.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "player/core/swf/video_tags.h"
#include "player/core/video/decoder.h"

namespace video {

// Decoded video one movie may hold at once, over all its placed videos.
const size_t kDefaultBudget = 96u * 1024u * 1024u;

class Budget {
  public:
    explicit Budget(size_t limit = kDefaultBudget) : limit_(limit) {}
    bool Take(size_t bytes);
    void Give(size_t bytes);
    size_t Used() const;

  private:
    mutable std::mutex lock_;
    size_t limit_, used_ = 0;
};

struct StreamFrame {
    const uint8_t* data = nullptr; // null: the movie has no such frame
    uint32_t size = 0;
    bool key = false;
};

// What DefineVideoStream declares and the VideoFrame tags that follow it, by frame number.
struct Stream {
    swf::VideoStream def;
    std::vector<StreamFrame> frames;
    std::vector<uint32_t> keyframes; // frame numbers, ascending
    // Records a frame; numbers beyond the declared count and repeats are ignored.
    void Add(const swf::VideoFrameTag& tag);
};

class Playback {
  public:
    Playback(std::shared_ptr<const Stream> stream, Budget* budget);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // The picture for frame `ratio` (premultiplied pixels), or null when there is none. Safe
    // to call from several drawing threads.
    const swf::Bitmap* Show(uint32_t ratio);
    // Video.clear(): nothing shown until the next frame decodes.
    void Clear();
    const Stream& Source() const { return *stream_; }
    // Script overrides of the stream's flags: smoothing -1 as the stream says, else 0 or 1;
    // deblocking 0 as the stream says, 1 off, 2 and above on (the picture shown is redone).
    int smoothing = -1;
    void SetDeblocking(int level);
    int Deblocking() const { return deblocking_; }
    // The last decoded frame's own size, 0 before any.
    int DecodedWidth() const { return decodedWidth_; }
    int DecodedHeight() const { return decodedHeight_; }

  private:
    bool DecodeFrame(uint32_t n);
    void Publish();
    std::shared_ptr<const Stream> stream_;
    Budget* budget_;
    std::mutex lock_;
    std::unique_ptr<Decoder> decoder_;
    size_t held_ = 0;      // bytes taken from the budget
    int64_t decoded_ = -1; // the frame the decoder last reached
    bool broken_ = false;  // a frame failed: only a keyframe goes on
    int64_t shownFor_ = -1;
    swf::Bitmap bitmap_;
    bool have_ = false, cleared_ = false, redo_ = false;
    int deblocking_ = 0;
    int decodedWidth_ = 0, decodedHeight_ = 0;
};

} // namespace video
