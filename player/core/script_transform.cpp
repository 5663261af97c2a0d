#include "player/core/script_transform.h"

#include <cmath>

#include "player/core/render/paint.h"

namespace engine {

namespace {
const double kPi = 3.14159265358979323846;
} // namespace

// Not a number counts as 0, as Flash sets it.
int32_t Twips(double pixels) {
    const double t = std::round(pixels * 20);
    return t > 2e9 ? 2000000000 : t < -2e9 ? -2000000000 : std::isfinite(t) ? int32_t(t) : 0;
}

int32_t Fixed(double v) {
    const double f = std::round(v * 65536);
    return f > 2e9 ? 2000000000 : f < -2e9 ? -2000000000 : std::isfinite(f) ? int32_t(f) : 0;
}

void Decompose(timeline::DisplayObject& o) {
    if (o.decomposed) {
        return;
    }
    const render::Transform m = render::Transform::From(o.matrix);
    o.xScale = std::sqrt(m.a * m.a + m.b * m.b) * 100;
    o.yScale = std::sqrt(m.c * m.c + m.d * m.d) * 100;
    // Each axis keeps its own angle, so a flip or skew survives a new _rotation.
    const double rx = std::atan2(m.b, m.a), ry = std::atan2(-m.c, m.d);
    o.rotation = rx * 180 / kPi;
    o.skew = (ry - rx) * 180 / kPi;
    o.decomposed = true;
}

void Recompose(timeline::DisplayObject& o) {
    const double rx = o.rotation * kPi / 180, ry = (o.rotation + o.skew) * kPi / 180;
    const double xs = o.xScale / 100, ys = o.yScale / 100;
    o.matrix.scaleX = Fixed(xs * std::cos(rx));
    o.matrix.rotateSkew0 = Fixed(xs * std::sin(rx));
    o.matrix.rotateSkew1 = Fixed(-ys * std::sin(ry));
    o.matrix.scaleY = Fixed(ys * std::cos(ry));
    o.scripted = true;
}

} // namespace engine
