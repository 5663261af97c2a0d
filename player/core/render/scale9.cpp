#include "player/core/render/scale9.h"

#include <algorithm>
#include <cmath>

namespace render {

double Scale9Map::Axis::Map(double v) const {
    // Room for the unscaled ends: when the clip shrinks below them, it scales evenly.
    const double a = lo + (gridLo - lo) / scale, b = hi - (hi - gridHi) / scale;
    if (!(b >= a) || gridHi <= gridLo) {
        return v;
    }
    if (v < gridLo) {
        return lo + (v - lo) / scale;
    }
    if (v > gridHi) {
        return hi - (hi - v) / scale;
    }
    return a + (v - gridLo) * (b - a) / (gridHi - gridLo);
}

Scale9Map::Scale9Map(const swf::Rect& bounds, const swf::Rect& grid, double sx, double sy) {
    auto axis = [](double lo, double hi, double glo, double ghi, double s) {
        Axis a;
        a.lo = lo;
        a.hi = hi;
        a.gridLo = std::max(lo, std::min(glo, hi));
        a.gridHi = std::max(a.gridLo, std::min(ghi, hi));
        a.scale = s > 1e-6 && std::isfinite(s) ? s : 1;
        return a;
    };
    x_ = axis(bounds.xMin, bounds.xMax, grid.xMin, grid.xMax, sx);
    y_ = axis(bounds.yMin, bounds.yMax, grid.yMin, grid.yMax, sy);
}

swf::Point Scale9Map::Apply(double x, double y) const {
    return swf::Point{x_.Map(x), y_.Map(y)};
}

swf::Shape Scale9Shape(const swf::Shape& shape, const swf::Affine& toClip, const Scale9Map& map) {
    swf::Shape out = shape;
    swf::Box box;
    auto put = [&](int32_t* x, int32_t* y) {
        const swf::Point p = map.Apply(toClip.Apply(swf::Point{double(*x), double(*y)}).x,
                                       toClip.Apply(swf::Point{double(*x), double(*y)}).y);
        *x = int32_t(std::lround(std::max(-1e9, std::min(1e9, p.x))));
        *y = int32_t(std::lround(std::max(-1e9, std::min(1e9, p.y))));
        box.Add(*x, *y);
    };
    for (swf::StyleGroup& g : out.groups) {
        for (swf::Edge& e : g.edges) {
            put(&e.x0, &e.y0);
            put(&e.cx, &e.cy);
            put(&e.x1, &e.y1);
        }
    }
    if (!box.empty) {
        out.bounds =
            swf::Rect{int32_t(box.xMin), int32_t(box.xMax), int32_t(box.yMin), int32_t(box.yMax)};
    }
    return out;
}

} // namespace render
