// LZMA as Flash 11 movies ("ZWS") carry it: five property bytes, then the range-coded
// data. Our own decoder, the same in every build (no decoder library is packaged for the
// Windows builds); the tests hold it against liblzma.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

enum class LzmaEnd {
    Marker,        // the stream's end marker
    Limit,         // `limit` bytes came out; the rest was not decoded
    Cut,           // the data ran out or turned damaged; what came before is kept
    BadProperties, // the property byte names no valid lc/lp/pb
};

// Appends the decoded bytes to `out` (empty on entry), at most `limit` of them. The output
// is the dictionary, so no separate window is kept and a distance past its start is damage.
LzmaEnd DecodeLzma(const uint8_t props[5], const uint8_t* in, size_t inSize, size_t limit,
                   std::vector<uint8_t>* out);

} // namespace swf
