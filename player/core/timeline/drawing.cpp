#include "player/core/timeline/drawing.h"

namespace timeline {

void Drawing::Apply(const DrawOp& op) {
    if (op.kind == DrawOp::Clear) {
        ops_.clear();
    } else {
        ops_.push_back(op);
    }
    ++generation_;
}

} // namespace timeline
