// Reads Flash movies (.swf) from memory: the header, the tag stream and the records
// inside tags. Plain C++ with no platform calls, so the same code runs in the control
// and in a native fuzzer. Every read is bounds-checked: a short buffer makes the reader
// fail, never read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// Why a movie was refused; Ok when it was read.
enum class ReadStatus {
    Ok,
    TooShort,       // fewer bytes than the fixed header
    BadSignature,   // none of "FWS", "CWS" (zlib) and "ZWS" (LZMA)
    BadVersion,     // version 0
    TooLarge,       // holds more than the reader's limit (uncompressed)
    LengthMismatch, // no longer given: a movie plays what its file holds
    BadCompression, // the zlib or LZMA stream is damaged before any of the movie came out
    BadHeader,      // the stage rectangle, rate or count do not fit or make no sense
    BadTag,         // no longer given: a movie ends before a tag cut off by the file's end
    OutOfMemory,    // the system could not give the memory: the uncompressed movie, or
                    // any the engine needed while it loaded (set by its facade)
};

const char* StatusText(ReadStatus status);

// Movies larger than this (uncompressed) are refused rather than allocated.
const uint32_t kMaxMovieBytes = 64u * 1024u * 1024u;

const uint16_t kTagEnd = 0;
const uint16_t kTagShowFrame = 1;
const uint16_t kTagSetBackgroundColor = 9;

// Sequential little-endian reads over a byte range. Once a read fails, the reader stays
// failed and every later read gives 0, so callers check Ok() once after a record.
class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    // A sub-range of the next `count` bytes; empty and failed when they are not all there.
    const uint8_t* Take(size_t count);
    void Skip(size_t count) { Take(count); }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    // A zero-terminated string (the terminator consumed, not kept); fails without one.
    std::string String();
    // Where the next read starts: bit-packed records are read from here, then skipped.
    const uint8_t* Current() const { return data_ + pos_; }

    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool Ok() const { return ok_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Most-significant-bit first reads, as SWF packs rectangles, matrices and shape records.
class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t UB(unsigned bits);                    // 0..32 bits, unsigned
    int32_t SB(unsigned bits);                     // 0..32 bits, sign-extended
    int32_t FB(unsigned bits) { return SB(bits); } // 16.16 fixed point
    // Skips to the next whole byte; records always start on one.
    void Align();

    size_t BytesConsumed() const { return (bitPos_ + 7) / 8; }
    bool Ok() const { return ok_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t bitPos_ = 0;
    bool ok_ = true;
};

struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0; // twips
};

struct Matrix {
    int32_t scaleX = 1 << 16, scaleY = 1 << 16; // 16.16
    int32_t rotateSkew0 = 0, rotateSkew1 = 0;   // 16.16
    int32_t translateX = 0, translateY = 0;     // twips
};

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
};

bool ReadRect(BitReader* bits, Rect* rect);
bool ReadMatrix(BitReader* bits, Matrix* matrix);

struct Tag {
    uint16_t code = 0;
    const uint8_t* body = nullptr;
    uint32_t length = 0;
};

// Walks tags one after another within a byte range (the movie's, or a sprite's body).
class TagIterator {
  public:
    TagIterator(const uint8_t* data, size_t size) : reader_(data, size) {}

    // Gives the next tag; false at the end of the range or when a tag does not fit, which
    // Failed() tells apart. The End tag is given like any other.
    bool Next(Tag* tag);
    bool Failed() const { return failed_; }
    size_t Position() const { return reader_.Position(); }

  private:
    ByteReader reader_;
    bool failed_ = false;
};

struct MovieHeader {
    bool compressed = false; // zlib or LZMA
    bool lzma = false;
    uint8_t version = 0;
    uint32_t declaredLength = 0; // of the whole uncompressed file, header included
    Rect stage;
    uint16_t frameRate = 0; // 8.8 fixed point frames per second
    uint16_t frameCount = 0;
};

// A movie read and checked: its header, its (uncompressed) bytes and what the player
// needs of the tag stream.
class Movie {
  public:
    const MovieHeader& Header() const { return header_; }
    bool HasBackground() const { return hasBackground_; }
    Rgb Background() const { return background_; }
    // ShowFrame tags on the main timeline; the header's count is what players go by.
    uint32_t ShownFrames() const { return shownFrames_; }
    bool HasEndTag() const { return hasEndTag_; }
    // The file ended inside a tag or inside its compressed stream: what came before plays.
    bool Truncated() const { return truncated_; }
    // The tag stream after the header, for drawing code that walks it again.
    TagIterator Tags() const;

  private:
    friend ReadStatus ReadMovie(const uint8_t*, size_t, Movie*, uint32_t);
    MovieHeader header_;
    std::vector<uint8_t> body_; // the file's bytes after the 8-byte prefix, uncompressed
    size_t tagsOffset_ = 0;     // into body_
    bool hasBackground_ = false;
    Rgb background_;
    uint32_t shownFrames_ = 0;
    bool hasEndTag_ = false;
    bool truncated_ = false;
};

// Reads a whole movie file. On anything but Ok, `movie` is left empty.
ReadStatus ReadMovie(const uint8_t* file, size_t size, Movie* movie,
                     uint32_t maxBytes = kMaxMovieBytes);

} // namespace swf
