#include "player/core/swf/lzma.h"

#include <algorithm>
#include <iterator>

namespace swf {

namespace {

const int kProbBits = 11;
const uint16_t kProbInit = 1 << (kProbBits - 1);
const int kMoveBits = 5;
const int kStates = 12;
const int kMaxPosStates = 16;
const int kLenToPosStates = 4;
const int kEndPosModel = 14; // position slots below this code their low bits with a model
const int kFullDistances = 128;
const int kAlignBits = 4;
const int kMatchMin = 2;

class RangeDecoder {
  public:
    RangeDecoder(const uint8_t* in, size_t size) : in_(in), size_(size) {
        // The first byte is always 0; the next four start the code.
        if (Byte() != 0)
            damaged_ = true;
        for (int i = 0; i < 4; ++i)
            code_ = (code_ << 8) | Byte();
        if (code_ == range_)
            damaged_ = true;
    }
    // True once a read went past the data or the stream contradicted itself.
    bool Failed() const { return overrun_ || damaged_; }

    int Bit(uint16_t* prob) {
        const uint32_t bound = (range_ >> kProbBits) * *prob;
        int bit;
        if (code_ < bound) {
            range_ = bound;
            *prob = uint16_t(*prob + (((1 << kProbBits) - *prob) >> kMoveBits));
            bit = 0;
        } else {
            range_ -= bound;
            code_ -= bound;
            *prob = uint16_t(*prob - (*prob >> kMoveBits));
            bit = 1;
        }
        Normalize();
        return bit;
    }

    uint32_t Direct(int count) {
        uint32_t result = 0;
        while (count-- > 0) {
            range_ >>= 1;
            uint32_t bit = code_ >= range_ ? 1 : 0;
            if (bit)
                code_ -= range_;
            result = (result << 1) | bit;
            Normalize();
        }
        return result;
    }

    // A tree of 2^bits symbols, most significant bit first.
    uint32_t Tree(uint16_t* probs, int bits) {
        uint32_t m = 1;
        for (int i = 0; i < bits; ++i)
            m = (m << 1) | uint32_t(Bit(&probs[m]));
        return m - (1u << bits);
    }

    // The same tree read least significant bit first.
    uint32_t ReverseTree(uint16_t* probs, int bits) {
        uint32_t m = 1, symbol = 0;
        for (int i = 0; i < bits; ++i) {
            const uint32_t bit = uint32_t(Bit(&probs[m]));
            m = (m << 1) | bit;
            symbol |= bit << i;
        }
        return symbol;
    }

  private:
    uint8_t Byte() {
        if (pos_ < size_)
            return in_[pos_++];
        overrun_ = true;
        return 0;
    }
    void Normalize() {
        if (range_ < (1u << 24)) {
            range_ <<= 8;
            code_ = (code_ << 8) | Byte();
        }
    }

    const uint8_t* in_;
    size_t size_;
    size_t pos_ = 0;
    uint32_t range_ = 0xFFFFFFFFu;
    uint32_t code_ = 0;
    bool overrun_ = false;
    bool damaged_ = false;
};

struct LengthModel {
    uint16_t choice = kProbInit, choice2 = kProbInit;
    uint16_t low[kMaxPosStates][1 << 3];
    uint16_t mid[kMaxPosStates][1 << 3];
    uint16_t high[1 << 8];
    LengthModel() {
        std::fill(&low[0][0], &low[0][0] + sizeof(low) / 2, kProbInit);
        std::fill(&mid[0][0], &mid[0][0] + sizeof(mid) / 2, kProbInit);
        std::fill(high, high + 256, kProbInit);
    }
    // 0-based: the match is this many bytes longer than the shortest.
    uint32_t Decode(RangeDecoder& rc, uint32_t posState) {
        if (!rc.Bit(&choice))
            return rc.Tree(low[posState], 3);
        if (!rc.Bit(&choice2))
            return 8 + rc.Tree(mid[posState], 3);
        return 16 + rc.Tree(high, 8);
    }
};

struct Model {
    explicit Model(int literalStates) : literals(size_t(0x300) * literalStates, kProbInit) {
        for (uint16_t* table : {&isMatch[0][0], &isRep0Long[0][0]})
            std::fill(table, table + kStates * kMaxPosStates, kProbInit);
        for (uint16_t* table : {isRep, isRepG0, isRepG1, isRepG2})
            std::fill(table, table + kStates, kProbInit);
        std::fill(&posSlot[0][0], &posSlot[0][0] + kLenToPosStates * 64, kProbInit);
        // Ends taken from the arrays themselves: posSpecial + kFullDistances alone would point
        // past the array's end before the subtraction brought it back.
        std::fill(std::begin(posSpecial), std::end(posSpecial), kProbInit);
        std::fill(std::begin(align), std::end(align), kProbInit);
    }
    std::vector<uint16_t> literals;
    uint16_t isMatch[kStates][kMaxPosStates];
    uint16_t isRep0Long[kStates][kMaxPosStates];
    uint16_t isRep[kStates], isRepG0[kStates], isRepG1[kStates], isRepG2[kStates];
    uint16_t posSlot[kLenToPosStates][64];
    uint16_t posSpecial[kFullDistances - kEndPosModel];
    uint16_t align[1 << kAlignBits];
    LengthModel length, repLength;
};

// 0xFFFFFFFF is the end marker.
uint32_t DecodeDistance(RangeDecoder& rc, Model& m, uint32_t length) {
    const uint32_t lenState = std::min<uint32_t>(length, kLenToPosStates - 1);
    const uint32_t slot = rc.Tree(m.posSlot[lenState], 6);
    if (slot < 4)
        return slot;
    const int directBits = int(slot >> 1) - 1;
    uint32_t distance = (2 | (slot & 1)) << directBits;
    if (slot < kEndPosModel)
        return distance + rc.ReverseTree(m.posSpecial + distance - slot - 1, directBits);
    distance += rc.Direct(directBits - kAlignBits) << kAlignBits;
    return distance + rc.ReverseTree(m.align, kAlignBits);
}

uint32_t AfterLiteral(uint32_t s) {
    return s < 4 ? 0 : s < 10 ? s - 3 : s - 6;
}
uint32_t AfterMatch(uint32_t s) {
    return s < 7 ? 7 : 10;
}
uint32_t AfterRep(uint32_t s) {
    return s < 7 ? 8 : 11;
}
uint32_t AfterShortRep(uint32_t s) {
    return s < 7 ? 9 : 11;
}

} // namespace

LzmaEnd DecodeLzma(const uint8_t props[5], const uint8_t* in, size_t inSize, size_t limit,
                   std::vector<uint8_t>* out) {
    uint32_t d = props[0];
    if (d >= 9 * 5 * 5)
        return LzmaEnd::BadProperties;
    const uint32_t lc = d % 9;
    d /= 9;
    const uint32_t lp = d % 5, pb = d / 5;
    Model m(1 << (lc + lp));
    RangeDecoder rc(in, inSize);
    if (rc.Failed())
        return LzmaEnd::Cut;
    std::vector<uint8_t>& o = *out;
    uint32_t state = 0, rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
    const uint32_t pbMask = (1u << pb) - 1, lpMask = (1u << lp) - 1;
    for (;;) {
        if (o.size() >= limit)
            return LzmaEnd::Limit;
        const size_t before = o.size();
        const uint32_t posState = uint32_t(before) & pbMask;
        uint32_t length = 0;
        if (!rc.Bit(&m.isMatch[state][posState])) {
            const uint32_t prev = before ? o[before - 1] : 0;
            const uint32_t litState = ((uint32_t(before) & lpMask) << lc) + (prev >> (8 - lc));
            uint16_t* probs = &m.literals[size_t(0x300) * litState];
            uint32_t symbol = 1;
            if (state >= 7 && rep0 < before) {
                // After a match the byte at the match distance steers the first bits.
                uint32_t matchByte = o[before - rep0 - 1];
                while (symbol < 0x100) {
                    const uint32_t matchBit = (matchByte >> 7) & 1;
                    matchByte <<= 1;
                    const uint32_t bit = uint32_t(rc.Bit(&probs[((1 + matchBit) << 8) + symbol]));
                    symbol = (symbol << 1) | bit;
                    if (bit != matchBit)
                        break;
                }
            }
            while (symbol < 0x100)
                symbol = (symbol << 1) | uint32_t(rc.Bit(&probs[symbol]));
            if (rc.Failed()) {
                o.resize(before);
                return LzmaEnd::Cut;
            }
            o.push_back(uint8_t(symbol));
            state = AfterLiteral(state);
            continue;
        }
        if (!rc.Bit(&m.isRep[state])) {
            rep3 = rep2, rep2 = rep1, rep1 = rep0;
            length = m.length.Decode(rc, posState);
            state = AfterMatch(state);
            rep0 = DecodeDistance(rc, m, length);
            if (rep0 == 0xFFFFFFFFu)
                return rc.Failed() ? LzmaEnd::Cut : LzmaEnd::Marker;
        } else {
            if (!rc.Bit(&m.isRepG0[state])) {
                if (!rc.Bit(&m.isRep0Long[state][posState])) {
                    if (rc.Failed() || rep0 >= before)
                        return LzmaEnd::Cut;
                    state = AfterShortRep(state);
                    o.push_back(o[before - rep0 - 1]);
                    continue;
                }
            } else {
                uint32_t distance;
                if (!rc.Bit(&m.isRepG1[state])) {
                    distance = rep1;
                } else {
                    if (!rc.Bit(&m.isRepG2[state])) {
                        distance = rep2;
                    } else {
                        distance = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = distance;
            }
            length = m.repLength.Decode(rc, posState);
            state = AfterRep(state);
        }
        if (rc.Failed() || rep0 >= before)
            return LzmaEnd::Cut;
        const size_t count = std::min<size_t>(length + kMatchMin, limit - before);
        for (size_t i = 0; i < count; ++i)
            o.push_back(o[o.size() - rep0 - 1]);
    }
}

} // namespace swf
