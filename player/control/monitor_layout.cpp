#include "player/control/monitor_layout.h"

namespace {

bool Covers(const engine::Box& outer, const engine::Box& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.right > inner.left && inner.bottom > inner.top;
}

} // namespace

size_t MovieViewports(const engine::Box& client, const engine::Box* monitors, size_t monitorCount,
                      engine::Box* viewports) {
    size_t count = 0;
    for (size_t i = 0; i < monitorCount; ++i) {
        if (!Covers(client, monitors[i])) {
            continue;
        }
        if (count == kMaxViewports) {
            count = 0; // more than we lay out: one picture after all
            break;
        }
        const engine::Box& m = monitors[i];
        viewports[count++] = engine::Box{m.left - client.left, m.top - client.top,
                                         m.right - client.left, m.bottom - client.top};
    }
    if (count < 2) {
        viewports[0] = engine::Box{0, 0, client.right - client.left, client.bottom - client.top};
        count = 1;
    }
    return count;
}
