#include "player/core/swf/bitmaps.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "player/core/swf/characters.h"
#include "player/core/swf/reserve.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_MAX_DIMENSIONS 8192
// A refusal is a result here; no reason is read. Without reasons stb_image keeps no state
// per thread (the drawing threads decode at once), and no thread-local storage is linked.
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image_guarded.h> // the packaged stb_image.h, one shift guarded (cmake/)
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace swf {

namespace {

bool SizeAllowed(uint64_t w, uint64_t h) {
    return w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide &&
           w * h * 4 <= kMaxBitmapBytes;
}

uint32_t Premultiply(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    if (a == 255) {
        return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    }
    auto m = [a](uint8_t c) { return uint32_t((c * a + 127) / 255); };
    return (uint32_t(a) << 24) | (m(r) << 16) | (m(g) << 8) | m(b);
}

// Already premultiplied values, clamped so no channel exceeds alpha.
uint32_t Clamped(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return (uint32_t(a) << 24) | (uint32_t(std::min(r, a)) << 16) |
           (uint32_t(std::min(g, a)) << 8) | std::min(b, a);
}

// Drops the stray EOI+SOI pairs old encoders wrote inside JPEG streams, which a strict
// decoder refuses.
std::vector<uint8_t> CleanJpeg(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size);
    size_t i = 0;
    if (size >= 4 && data[0] == 0xFF && data[1] == 0xD9 && data[2] == 0xFF && data[3] == 0xD8) {
        i = 4;
    }
    // Keep the first SOI; drop each later EOI immediately followed by SOI.
    for (; i < size; ++i) {
        if (i + 3 < size && data[i] == 0xFF && data[i + 1] == 0xD9 && data[i + 2] == 0xFF &&
            data[i + 3] == 0xD8 && !out.empty()) {
            i += 3;
            continue;
        }
        out.push_back(data[i]);
    }
    return out;
}

// The JPEG decoder trusts a stream's tables: it writes past its Huffman table when their
// symbol counts add up to more than 256, and decodes with uninitialised memory when a scan
// names a Huffman table never defined or a component a quantisation table never defined.
// Such streams are refused before it sees them.
bool TablesSound(const uint8_t* data, size_t size) {
    bool defined[2][4] = {};
    bool quantised[4] = {};
    std::vector<uint8_t> frameTables; // each frame component's quantisation table
    bool progressive = false;
    size_t i = 0;
    while (i + 4 <= size) {
        if (data[i] != 0xFF) {
            ++i; // entropy-coded data between markers
            continue;
        }
        const uint8_t marker = data[i + 1];
        if (marker == 0x00 || marker == 0xFF || marker == 0xD8 || marker == 0x01 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            i += marker == 0xFF ? 1 : 2; // stuffing, fill, start of image, restarts: no length
            continue;
        }
        if (marker == 0xD9) {
            i += 2;
            continue;
        }
        const size_t length = (size_t(data[i + 2]) << 8) | data[i + 3];
        if (length < 2) {
            return false;
        }
        if (marker == 0xC4) {
            // Read as the decoder reads: table after table while the segment's length lasts.
            long remaining = static_cast<long>(length) - 2;
            size_t p = i + 4;
            while (remaining > 0) {
                if (p + 17 > size) {
                    return false;
                }
                unsigned symbols = 0;
                for (int k = 1; k <= 16; ++k) {
                    symbols += data[p + k];
                }
                const unsigned tableClass = data[p] >> 4, id = data[p] & 15;
                if (symbols > 256 || tableClass > 1 || id > 3) {
                    return false;
                }
                defined[tableClass][id] = true;
                p += 17 + symbols;
                remaining -= 17 + static_cast<long>(symbols);
            }
        } else if (marker == 0xDB) {
            // As the decoder reads: 8- or 16-bit tables while the segment's length lasts.
            long remaining = static_cast<long>(length) - 2;
            size_t p = i + 4;
            while (remaining > 0 && p < size) {
                const unsigned precision = data[p] >> 4, id = data[p] & 15;
                if (precision > 1 || id > 3) {
                    return false;
                }
                quantised[id] = true;
                p += 1 + 64 * (precision + 1);
                remaining -= 1 + 64 * (precision + 1);
            }
        } else if (marker >= 0xC0 && marker <= 0xC2) {
            if (i + 10 > size) {
                return false;
            }
            frameTables.clear();
            progressive = marker == 0xC2;
            for (size_t c = 0; c < data[i + 9] && i + 12 + c * 3 < size; ++c) {
                frameTables.push_back(data[i + 12 + c * 3]);
            }
        } else if (marker == 0xDA) {
            for (const uint8_t table : frameTables) {
                if (table > 3 || !quantised[table]) {
                    return false;
                }
            }
            if (i + 5 > size) {
                return false;
            }
            const unsigned components = data[i + 4];
            const size_t tail = i + 5 + components * 2;
            if (tail + 2 > size) {
                return false;
            }
            // A sequential scan decodes with both tables whatever its spectral range says.
            const unsigned first = data[tail], last = data[tail + 1];
            const bool dc = !progressive || first == 0, ac = !progressive || last > 0;
            for (unsigned c = 0; c < components; ++c) {
                const uint8_t tables = data[i + 5 + c * 2 + 1];
                if ((dc && ((tables >> 4) > 3 || !defined[0][tables >> 4])) ||
                    (ac && ((tables & 15) > 3 || !defined[1][tables & 15]))) {
                    return false;
                }
            }
        }
        i += 2 + length;
    }
    return true;
}

bool Decode(const uint8_t* data, size_t size, Bitmap* bitmap, bool sizeOnly) {
    if (size < 4 || size > 0x7FFFFFFF) {
        return false;
    }
    int w = 0, h = 0, n = 0;
    std::vector<uint8_t> jpeg;
    if (data[0] == 0xFF) {
        jpeg = CleanJpeg(data, size);
        data = jpeg.data();
        size = jpeg.size();
    }
    if ((data[0] == 0xFF && !TablesSound(data, size)) ||
        !stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &n) || !SizeAllowed(w, h)) {
        return false;
    }
    if (sizeOnly) {
        bitmap->width = w;
        bitmap->height = h;
        return true;
    }
    // The decoder asks the system through malloc, which answers a refusal with null.
    stbi_uc* px = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &n, 4);
    if (px == nullptr) {
        return false;
    }
    if (!memory::Obtainable<uint32_t>(size_t(w) * h)) {
        stbi_image_free(px);
        return false; // drawn as a bitmap that failed to decode
    }
    bitmap->width = w;
    bitmap->height = h;
    bitmap->pixels.resize(size_t(w) * h);
    for (size_t i = 0; i < bitmap->pixels.size(); ++i) {
        const stbi_uc* p = px + i * 4;
        bitmap->pixels[i] = Premultiply(p[0], p[1], p[2], p[3]);
    }
    stbi_image_free(px);
    return true;
}

bool ReadLossless(const Tag& tag, bool alpha, Bitmap* bitmap, bool sizeOnly) {
    ByteReader r(tag.body, tag.length);
    r.U16();
    const uint8_t format = r.U8();
    const uint32_t w = r.U16();
    const uint32_t h = r.U16();
    uint32_t colours = 0;
    if (format == 3) {
        colours = r.U8() + 1u;
    }
    if (!r.Ok() || !SizeAllowed(w, h) || format < 3 || format > 5) {
        return false;
    }
    if (sizeOnly) {
        bitmap->width = static_cast<int>(w);
        bitmap->height = static_cast<int>(h);
        return true;
    }
    std::vector<uint8_t> raw;
    const size_t entry = alpha ? 4 : 3;
    size_t rowBytes = 0;
    if (format == 3) {
        rowBytes = (w + 3) & ~3u;
    } else if (format == 4) {
        rowBytes = (w * 2 + 3) & ~3u;
    } else if (format == 5) {
        rowBytes = w * 4;
    } else {
        return false;
    }
    const size_t expected = colours * entry + rowBytes * h;
    if (!InflateExact(r.Current(), r.Remaining(), expected, &raw, true)) {
        return false;
    }
    if (!memory::Obtainable<uint32_t>(size_t(w) * h)) {
        return false;
    }
    bitmap->width = static_cast<int>(w);
    bitmap->height = static_cast<int>(h);
    bitmap->pixels.resize(size_t(w) * h);
    uint32_t palette[256] = {};
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t* p = raw.data() + i * entry;
        palette[i] = alpha ? Clamped(p[0], p[1], p[2], p[3]) : Premultiply(p[0], p[1], p[2], 255);
    }
    const uint8_t* rows = raw.data() + colours * entry;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = rows + y * rowBytes;
        uint32_t* out = bitmap->pixels.data() + size_t(y) * w;
        for (uint32_t x = 0; x < w; ++x) {
            if (format == 3) {
                out[x] = row[x] < colours ? palette[row[x]] : 0;
            } else if (format == 4) {
                const uint32_t v = (row[x * 2] << 8) | row[x * 2 + 1];
                auto c5 = [](uint32_t c) { return uint8_t((c << 3) | (c >> 2)); };
                out[x] = Premultiply(c5((v >> 10) & 31), c5((v >> 5) & 31), c5(v & 31), 255);
            } else {
                const uint8_t* p = row + x * 4;
                out[x] =
                    alpha ? Clamped(p[1], p[2], p[3], p[0]) : Premultiply(p[1], p[2], p[3], 255);
            }
        }
    }
    return true;
}

} // namespace

bool InflateExact(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>* out,
                  bool atLeast) {
    if (expected > kMaxBitmapBytes + 1024 || size > 0xFFFFFFFFu || !memory::Obtainable(expected)) {
        return false;
    }
    out->assign(expected, 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out->data();
    z.avail_out = static_cast<uInt>(expected);
    const int rc = inflate(&z, Z_FINISH);
    const size_t produced = expected - z.avail_out;
    inflateEnd(&z);
    if (produced == expected) {
        return rc == Z_STREAM_END || atLeast || rc == Z_BUF_ERROR || rc == Z_OK;
    }
    return false;
}

bool ReadBitmap(const Tag& tag, const std::vector<uint8_t>& jpegTables, Bitmap* bitmap,
                bool sizeOnly) {
    *bitmap = Bitmap();
    if (tag.length < 2) {
        return false;
    }
    const uint8_t* data = tag.body + 2;
    const size_t size = tag.length - 2;
    switch (tag.code) {
    case kTagDefineBits: {
        std::vector<uint8_t> joined;
        size_t tablesEnd = jpegTables.size();
        if (tablesEnd >= 2 && jpegTables[tablesEnd - 2] == 0xFF &&
            jpegTables[tablesEnd - 1] == 0xD9) {
            tablesEnd -= 2;
        }
        size_t start = 0;
        while (start + 4 <= size && data[start] == 0xFF && data[start + 1] == 0xD9 &&
               data[start + 2] == 0xFF && data[start + 3] == 0xD8) {
            start += 4;
        }
        if (tablesEnd >= 2 && start + 2 <= size && data[start] == 0xFF && data[start + 1] == 0xD8) {
            start += 2;
            joined.assign(jpegTables.begin(), jpegTables.begin() + tablesEnd);
            while (joined.size() >= 4 && joined[0] == 0xFF && joined[1] == 0xD9 &&
                   joined[2] == 0xFF && joined[3] == 0xD8) {
                joined.erase(joined.begin(), joined.begin() + 4);
            }
        }
        joined.insert(joined.end(), data + start, data + size);
        return Decode(joined.data(), joined.size(), bitmap, sizeOnly);
    }
    case kTagDefineBitsJpeg2:
        return Decode(data, size, bitmap, sizeOnly);
    case kTagDefineBitsJpeg3: {
        ByteReader r(data, size);
        const uint32_t imageSize = r.U32();
        if (!r.Ok() || imageSize > r.Remaining()) {
            return false;
        }
        const uint8_t* image = r.Take(imageSize);
        if (!Decode(image, imageSize, bitmap, sizeOnly)) {
            return false;
        }
        if (sizeOnly || image[0] != 0xFF || r.Remaining() == 0) {
            return true; // PNG and GIF carry their own alpha
        }
        std::vector<uint8_t> alpha;
        if (!InflateExact(r.Current(), r.Remaining(), bitmap->pixels.size(), &alpha, true)) {
            return true; // a damaged alpha plane leaves the picture opaque
        }
        // The encoder stores colours already multiplied by the alpha plane.
        for (size_t i = 0; i < bitmap->pixels.size(); ++i) {
            const uint32_t p = bitmap->pixels[i];
            bitmap->pixels[i] = Clamped(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), alpha[i]);
        }
        return true;
    }
    case kTagDefineBitsLossless:
    case kTagDefineBitsLossless2:
        return ReadLossless(tag, tag.code == kTagDefineBitsLossless2, bitmap, sizeOnly);
    default:
        return false;
    }
}

bool DecodeBitmap(const BitmapSource& source, Bitmap* bitmap) {
    std::vector<uint8_t> tables;
    if (source.tag.code == kTagDefineBits && source.jpegTables.body != nullptr) {
        tables.assign(source.jpegTables.body, source.jpegTables.body + source.jpegTables.length);
    }
    return ReadBitmap(source.tag, tables, bitmap);
}

} // namespace swf
