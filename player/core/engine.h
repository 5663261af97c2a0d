// The movie engine as the rest of the project sees it: load a movie's bytes, let time
// pass, draw the current frame into a pixel surface, and answer what a host asks. Plain
// C++ with no platform header, so the control, the screen saver and native tools all
// drive the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/core/swf/geometry.h"

namespace engine {

// Why a movie was refused; Ok when it loaded.
enum class LoadStatus {
    Ok,
    TooShort,       // fewer bytes than the fixed header
    BadSignature,   // none of "FWS", "CWS" and "ZWS"
    BadVersion,     // version 0
    TooLarge,       // declared length above the engine's limit
    LengthMismatch, // declared length differs from the bytes the movie holds
    BadCompression, // the zlib stream is damaged, ends early or holds more than declared
    BadHeader,      // the stage rectangle, rate or count do not fit or make no sense
    BadTag,         // a tag header or body runs past the end of the movie
    OutOfMemory,    // the system could not give the memory the movie needs
};
const char* LoadStatusText(LoadStatus status);

// Movies larger than this (uncompressed) are refused rather than allocated.
const uint32_t kMaxMovieBytes = 64u * 1024u * 1024u;

// 32-bit premultiplied pixels, 0xAARRGGBB as native integers (bytes B, G, R, A: what a
// top-down 32-bit DIB holds). Rows lie `stride` pixels apart.
struct Surface {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// A rectangle of a surface in pixels, right and bottom exclusive.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Outlines for text set in a font the movie does not embed, supplied by the host (the
// system's fonts on Windows, a packaged font natively). Coordinates in 1024ths of the em,
// y down, the origin on the baseline; curves are quadratic (a straight edge has its control
// point on it). Inside is where an odd number of edges lies to one side.
using GlyphEdge = swf::Curve;
struct DeviceGlyph {
    std::vector<GlyphEdge> edges;
    int32_t advance = 0; // 1024ths of the em
};
struct DeviceFontMetrics {
    int32_t ascent = 0, descent = 0; // 1024ths of the em
};
// False when the host has no glyph for `code` (a Unicode code point).
using DeviceGlyphSource =
    std::function<bool(const char* font, bool bold, bool italic, uint32_t code, DeviceGlyph* out)>;

// MP3 decoding, supplied by the host as device-font outlines are: the system's codec on
// Windows, a library natively. One decoder per playing stream of frames.
class Mp3Decoder {
  public:
    virtual ~Mp3Decoder() = default;
    // One whole MPEG audio frame (header included) in; at most `capacity` interleaved
    // 16-bit samples out. The count written; 0 when the frame could not be decoded (it
    // then plays as silence).
    virtual size_t DecodeFrame(const uint8_t* frame, size_t size, int16_t* out,
                               size_t capacity) = 0;
};
// A decoder for frames at this rate and channel count; null when there is none.
using Mp3DecoderSource = std::function<std::unique_ptr<Mp3Decoder>(int rate, int channels)>;

// The sound the engine mixes: 44,100 frames a second, two 16-bit channels interleaved.
const int kSoundRate = 44100;

// No exception leaves a Player; the engine is built without them. While a player lives it
// holds a memory reserve: when the system refuses an allocation inside a call, the reserve
// is given back so the call can finish, and at its end the movie stops for good (its
// content dropped, Playing() false, Draw shows only the background, the reason on the
// notice sink). Load starts afresh. A second refusal before the reserve could be armed
// again ends the process. Host callbacks (sinks, glyph and decoder sources) must not throw.
class Player {
  public:
    Player();
    ~Player();
    Player(Player&&) noexcept;
    Player& operator=(Player&&) noexcept;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Reads a whole movie file from memory (the bytes are copied). Any earlier movie is
    // dropped first, so on failure the player is empty. The movie starts stopped at its
    // first frame.
    LoadStatus Load(const uint8_t* data, size_t size);
    bool Loaded() const;

    // The stage in twips, its colour (0xRRGGBB; white for a movie that sets none, as Flash
    // shows it; black without a movie), the rate.
    int32_t StageWidthTwips() const;
    int32_t StageHeightTwips() const;
    uint32_t Background() const;
    uint16_t FrameRate88() const;     // 8.8 fixed point frames per second
    uint32_t FrameIntervalMs() const; // at least 1

    // The main timeline: 0-based frame, the header's frame count, play state.
    uint32_t CurrentFrame() const;
    uint32_t FrameCount() const;
    bool Playing() const;
    bool Loop() const;
    void SetLoop(bool loop);
    void Play(uint32_t nowMs);
    void Stop();
    void GoTo(uint32_t frame);

    // Runs the frames (and their scripts) due by `nowMs`, any monotonic millisecond
    // counter. True when the picture may have changed since the last Draw.
    bool Tick(uint32_t nowMs);

    // Draws the current frame fitted into `viewport` of `target` with the aspect kept and
    // centred (the stage colour fills the bands around it); pixels outside the viewport
    // are left alone.
    void Draw(const Surface& target, const Box& viewport);

    // Threads drawing each frame, in bands of rows; the pixels are the same whatever the
    // count. 1 to kMaxDrawThreads (counts beyond are held to it); by default as many as the
    // machine has processors, at most kMaxDrawThreads. Kept across Load.
    void SetDrawThreads(int count);
    static constexpr int kMaxDrawThreads = 16;

    // Where script output (trace) goes, and where notices (refused operations, damaged
    // parts skipped, scripts abandoned) go; none by default. Kept across Load.
    void SetTraceSink(std::function<void(const char* line)> sink);
    void SetNoticeSink(std::function<void(const char* line)> sink);

    // Where device-font text gets its outlines; without a source such text is not drawn.
    // Kept across Load. The source may be called from any drawing thread, from one at a
    // time.
    void SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics);

    // Sound. True when the movie has any sound at all (the host may leave its device shut
    // otherwise). MixSound writes the next `frames` stereo frames of the movie's sound; a
    // host that pulls sound steadily lets a main-timeline stream sound set the frames'
    // pace, as Flash keeps a timeline in step with its stream (frames are dropped, never
    // sound). Without a decoder MP3 sounds play silent, said once on the notice channel.
    bool HasSound() const;
    void MixSound(int16_t* out, size_t frames);
    void SetMp3Decoder(Mp3DecoderSource source); // kept across Load
    // True once an allocation failure stopped the movie (until the next Load).
    bool Failed() const;

  private:
    struct State;
    void Fail(const char* where) noexcept;
    bool Refused(uint32_t failuresBefore, const char* where) noexcept;
    static LoadStatus LoadInto(State& s, const uint8_t* data, size_t size);
    std::unique_ptr<State> state_;
};

// For a host that allocates around a player (making one, registering): while a guard
// lives the memory reserve is held, so a refused allocation is granted from it, and the
// guard tells afterwards that the system refused one.
class MemoryGuard {
  public:
    MemoryGuard() noexcept;
    ~MemoryGuard();
    MemoryGuard(const MemoryGuard&) = delete;
    MemoryGuard& operator=(const MemoryGuard&) = delete;
    // False when the system could not even give the reserve: allocate nothing then.
    bool Held() const { return held_; }
    bool Refused() const noexcept;

  private:
    uint32_t failures_;
    bool held_;
};

// The ActionScript 3 parts a movie uses that the player does not run yet, each a short
// phrase naming what was found: "E4X (XML, XMLList)", "Loader", "network (URLLoader)".
// Empty for a movie that plays whole or cannot be read.
std::vector<std::string> PartsNotPlayed(const uint8_t* data, size_t size) noexcept;

} // namespace engine
