#include "movie_bytes.h"

#include <zlib.h>

namespace {

void PutU16(std::vector<uint8_t>* out, uint16_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

void Tag(std::vector<uint8_t>* out, uint16_t code, const std::vector<uint8_t>& body) {
    if (body.size() < 63) {
        PutU16(out, static_cast<uint16_t>((code << 6) | body.size()));
    } else {
        PutU16(out, static_cast<uint16_t>((code << 6) | 0x3F));
        const size_t at = out->size();
        out->resize(at + 4);
        PutU32(out, at, static_cast<uint32_t>(body.size()));
    }
    out->insert(out->end(), body.begin(), body.end());
}

// A stage rectangle from (0,0): 5 bits of field width (16), then four 16-bit fields.
std::vector<uint8_t> Rect(int32_t width, int32_t height) {
    std::vector<uint8_t> out(9, 0);
    size_t bit = 0;
    const std::pair<uint32_t, int> fields[] = {
        {16, 5}, {0, 16}, {width, 16}, {0, 16}, {height, 16}};
    for (const auto& field : fields) {
        for (int i = field.second - 1; i >= 0; --i, ++bit) {
            out[bit / 8] |= static_cast<uint8_t>(((field.first >> i) & 1) << (7 - bit % 8));
        }
    }
    return out;
}

} // namespace

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

std::vector<uint8_t> MovieBytes(const MovieSpec& spec) {
    std::vector<uint8_t> out = {'F', 'W', 'S', spec.version, 0, 0, 0, 0};
    const std::vector<uint8_t> rect = Rect(spec.widthTwips, spec.heightTwips);
    out.insert(out.end(), rect.begin(), rect.end());
    PutU16(&out, static_cast<uint16_t>(spec.frameRate * 256 + 0.5));
    PutU16(&out, spec.frameCount);
    if (spec.background) {
        Tag(&out, 9, {spec.red, spec.green, spec.blue});
    }
    Tag(&out, 777, std::vector<uint8_t>(100, 0xAB)); // unknown, long form
    for (int i = 0; i < spec.frameCount; ++i) {
        Tag(&out, 1, {});
    }
    Tag(&out, 0, {});
    PutU32(&out, 4, static_cast<uint32_t>(out.size()));
    return spec.compressed ? Compress(out) : out;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& uncompressed) {
    uLongf size = compressBound(static_cast<uLong>(uncompressed.size() - 8));
    std::vector<uint8_t> out(8 + size);
    compress(out.data() + 8, &size, uncompressed.data() + 8,
             static_cast<uLong>(uncompressed.size() - 8));
    out.resize(8 + size);
    out[0] = 'C';
    for (int i = 1; i < 8; ++i) {
        out[i] = uncompressed[i];
    }
    return out;
}
