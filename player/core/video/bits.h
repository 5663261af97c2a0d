// Most-significant-bit-first reads over a frame's bytes for the video decoders. Reads past
// the end give zero bits and mark the reader overrun, so a decoder checks once per block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace video {

class Bits {
  public:
    Bits(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // The next `count` (1..25) bits without consuming them.
    uint32_t Peek(int count) const { return Window() >> (32 - count); }
    void Skip(int count) { pos_ += count; }
    uint32_t Read(int count) {
        const uint32_t v = Peek(count);
        pos_ += count;
        return v;
    }
    bool Bit() { return Read(1) != 0; }
    int32_t Signed(int count) { // two's complement
        const uint32_t v = Read(count);
        return static_cast<int32_t>(v << (32 - count)) >> (32 - count);
    }
    bool Overrun() const { return pos_ > size_ * 8; }
    size_t Position() const { return pos_; }
    size_t Size() const { return size_; }

  private:
    uint32_t Window() const {
        const size_t byte = pos_ >> 3;
        uint32_t v = 0;
        if (byte + 4 <= size_) {
            v = uint32_t(data_[byte]) << 24 | uint32_t(data_[byte + 1]) << 16 |
                uint32_t(data_[byte + 2]) << 8 | data_[byte + 3];
        } else {
            for (size_t i = 0; i < 4; ++i) {
                v = v << 8 | (byte + i < size_ ? data_[byte + i] : 0);
            }
        }
        return v << (pos_ & 7);
    }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A prefix code read through one lookup of its longest code's length.
class Vlc {
  public:
    struct Code {
        uint16_t bits; // the code, right-aligned
        uint8_t length;
        int16_t symbol;
    };
    Vlc(const Code* codes, size_t count);
    // The symbol, or -1 for bits that start no code.
    int Read(Bits* bits) const {
        const uint32_t i = bits->Peek(width_);
        const Entry e = table_[i];
        bits->Skip(e.length);
        return e.length == 0 ? -1 : e.symbol;
    }

  private:
    struct Entry {
        int16_t symbol = 0;
        uint8_t length = 0;
    };
    int width_ = 1;
    Entry table_[1 << 13];
};

} // namespace video
