// onClipEvent handlers as PlaceObject2/3 carries them (CLIPACTIONS): which events each
// block answers and its decoded actions. The timeline keeps the raw bytes per placed object;
// the Vm decodes them once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/core/avm1/actions.h"

namespace avm1 {

// Event bits of a clip action record, as stored (little-endian, version 6 layout).
enum ClipEventBit : uint32_t {
    kEventLoad = 1u << 0,
    kEventEnterFrame = 1u << 1,
    kEventUnload = 1u << 2,
    kEventMouseMove = 1u << 3,
    kEventMouseDown = 1u << 4,
    kEventMouseUp = 1u << 5,
    kEventKeyDown = 1u << 6,
    kEventKeyUp = 1u << 7,
    kEventData = 1u << 8,
    kEventInitialize = 1u << 9,
    kEventKeyPress = 1u << 17,
    kEventConstruct = 1u << 18,
};

struct ClipActionHandler {
    uint32_t events = 0;
    std::shared_ptr<const ActionBlock> block;
};

// At most this many handlers are kept from one object.
constexpr size_t kMaxClipHandlers = 256;

// Reads CLIPACTIONS (from the reserved field on). Records that run past the end stop the
// list; what was read before stays.
std::vector<ClipActionHandler> DecodeClipActions(const uint8_t* data, size_t size, int version);

} // namespace avm1
