// zlib's crc32, which its inflate names for gzip streams, in a few bytes without zlib's
// 8 KB of tables: the engine inflates only zlib and raw deflate streams (movies, lossless
// bitmaps, Screen Video blocks), so this is never reached in what we ship, but it stays a
// true CRC-32 should that change. Linked as an object into the programs that carry the
// player, so zlib's own member is left out.
#include <zlib.h>

#include <cstdint>

extern "C" uLong crc32(uLong crc, const Bytef* data, uInt length) {
    if (data == nullptr) {
        return 0; // zlib's answer: the starting value
    }
    uint32_t c = ~uint32_t(crc);
    for (uInt i = 0; i < length; ++i) {
        c ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
        }
    }
    return ~c;
}
