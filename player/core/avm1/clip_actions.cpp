#include "player/core/avm1/clip_actions.h"

namespace avm1 {

std::vector<ClipActionHandler> DecodeClipActions(const uint8_t* data, size_t size, int version) {
    std::vector<ClipActionHandler> out;
    const size_t flagBytes = version >= 6 ? 4 : 2;
    auto read = [&](size_t at, size_t n, uint32_t& value) {
        if (at > size || size - at < n)
            return false;
        value = 0;
        for (size_t i = 0; i < n; i++)
            value |= uint32_t(data[at + i]) << (8 * i);
        return true;
    };
    size_t pos = 2; // reserved
    uint32_t all;
    if (!read(pos, flagBytes, all))
        return out;
    pos += flagBytes;
    while (out.size() < kMaxClipHandlers) {
        uint32_t events, length;
        if (!read(pos, flagBytes, events) || events == 0)
            break;
        pos += flagBytes;
        if (!read(pos, 4, length))
            break;
        pos += 4;
        if (length > size - pos)
            break;
        size_t start = pos, n = length;
        if ((events & kEventKeyPress) && n > 0) {
            start++; // the key code; keys never reach a screen saver's scripts
            n--;
        }
        out.push_back({events, DecodeActions(data + start, n, version)});
        pos += length;
    }
    return out;
}

} // namespace avm1
