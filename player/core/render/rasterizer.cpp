#include "player/core/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>

namespace render {
namespace {

// Orders one row's cells by x. Anti-Grain Geometry's own quicksort compares through the
// cell pointers at every step and was a fifth of a heavy frame; here the x values are read
// once into keys (x above, the cell's place below) and those are sorted. Cells of equal x
// are summed whatever their order, so the coverage is the same as with any other order.
void SortRow(agg::cell_aa** cells, unsigned n) {
    if (n < 2) {
        return;
    }
    const unsigned kOnStack = 128;
    uint64_t keyStack[kOnStack];
    agg::cell_aa* cellStack[kOnStack];
    std::vector<uint64_t> keyHeap;
    std::vector<agg::cell_aa*> cellHeap;
    uint64_t* keys = keyStack;
    agg::cell_aa** copy = cellStack;
    if (n > kOnStack) {
        keyHeap.resize(n);
        cellHeap.resize(n);
        keys = keyHeap.data();
        copy = cellHeap.data();
    }
    for (unsigned i = 0; i < n; ++i) {
        keys[i] = uint64_t(uint32_t(cells[i]->x) ^ 0x80000000u) << 32 | i;
        copy[i] = cells[i];
    }
    if (n <= 16) {
        for (unsigned i = 1; i < n; ++i) {
            const uint64_t k = keys[i];
            unsigned j = i;
            for (; j > 0 && keys[j - 1] > k; --j) {
                keys[j] = keys[j - 1];
            }
            keys[j] = k;
        }
    } else {
        std::sort(keys, keys + n);
    }
    for (unsigned i = 0; i < n; ++i) {
        cells[i] = copy[uint32_t(keys[i])];
    }
}

} // namespace
} // namespace render

// The rasterizer sorts each row's cells through this; only this file instantiates it.
namespace agg {
template <> void qsort_cells<cell_aa>(cell_aa** start, unsigned num) {
    render::SortRow(start, num);
}
} // namespace agg

namespace render {

namespace {

// Far beyond any surface, yet inside the rasterizer's 24.8 fixed point range.
double Bound(double v) {
    if (!(v == v)) {
        return 0;
    }
    return std::max(-1.0e6, std::min(1.0e6, v));
}

// Coverage in quarters, as four-sample multisampling gives it: what the reference player
// draws at its default quality, and still smooth edges.
struct Quarters {
    double operator()(double x) const { return std::floor(x * 4 + 0.5) / 4; }
};

} // namespace

struct Rasterizer::Impl {
    Impl() { ras.gamma(Quarters()); }
    agg::rasterizer_scanline_aa<> ras;
    agg::scanline_u8 sl;
    bool any = false;
};

Rasterizer::Rasterizer() : impl_(new Impl) {}
Rasterizer::~Rasterizer() = default;

// Anti-Grain Geometry frees a buffer before it asks for the larger one, so when that request
// throws, its object still holds the freed pointer and would free it again. Such an object
// is abandoned (its memory stays lost) and the rasterizer draws nothing from then on.
template <class F> void Rasterizer::Guarded(F&& f) {
    if (!impl_) {
        return;
    }
    try {
        f(*impl_);
    } catch (...) {
        impl_.release();
        throw;
    }
}

void Rasterizer::Begin(const Canvas& canvas, bool nonZero) {
    if (!impl_) {
        return;
    }
    impl_->ras.reset();
    impl_->ras.auto_close(false);
    impl_->ras.filling_rule(nonZero ? agg::fill_non_zero : agg::fill_even_odd);
    // The clip box is the whole picture's in every band: clipping to the band would move
    // where segments cross its edges by a rounding, and change the pixels there.
    impl_->ras.clip_box(0, 0, canvas.width, canvas.height);
    impl_->any = false;
    bandTop_ = canvas.top - 1.0;
    bandBottom_ = canvas.Bottom() + 1.0;
    pictureRows_ = uint64_t(std::max(1, canvas.height));
    bandRows_ = uint64_t(std::max(1, canvas.Rows()));
}

void Rasterizer::MoveTo(double x, double y) {
    lastX_ = Bound(x);
    lastY_ = Bound(y);
    Guarded([&](Impl& impl) { impl.ras.move_to_d(lastX_, lastY_); });
}

void Rasterizer::LineTo(double x, double y) {
    x = Bound(x);
    y = Bound(y);
    const bool outside =
        (y < bandTop_ && lastY_ < bandTop_) || (y > bandBottom_ && lastY_ > bandBottom_);
    lastX_ = x;
    lastY_ = y;
    work_ += kSegmentWork;
    if (outside) {
        // No cell of this segment lies in the band's rows; the next one starts here.
        Guarded([&](Impl& impl) { impl.ras.move_to_d(x, y); });
        return;
    }
    Guarded([&](Impl& impl) {
        impl.ras.line_to_d(x, y);
        impl.any = true;
    });
}

void Rasterizer::Polygon(const double* xy, int count) {
    if (count < 3) {
        return;
    }
    MoveTo(xy[0], xy[1]);
    for (int i = 1; i < count; ++i) {
        LineTo(xy[i * 2], xy[i * 2 + 1]);
    }
    LineTo(xy[0], xy[1]);
}

void Rasterizer::Add(const Outline& o, double dx, double dy) {
    for (size_t r = 0; r < o.starts.size(); ++r) {
        const size_t first = o.starts[r];
        const size_t end = r + 1 < o.starts.size() ? o.starts[r + 1] : o.points.size();
        if (o.closeRuns && end - first < 3) {
            continue;
        }
        MoveTo(o.points[first].x + dx, o.points[first].y + dy);
        for (size_t i = first + 1; i < end; ++i) {
            LineTo(o.points[i].x + dx, o.points[i].y + dy);
        }
        if (o.closeRuns) {
            LineTo(o.points[first].x + dx, o.points[first].y + dy);
        }
    }
}

bool Rasterizer::Empty() const {
    return !impl_ || !impl_->any;
}

void Rasterizer::Fill(const Canvas& canvas, const Paint& paint) {
    Guarded([&](Impl& impl) { FillSpans(impl, canvas, paint); });
}

void Rasterizer::FillSpans(Impl& impl, const Canvas& canvas, const Paint& paint) {
    agg::rasterizer_scanline_aa<>& ras = impl.ras;
    if (!impl.any || !ras.rewind_scanlines()) {
        return;
    }
    // A band sweeps only its own rows.
    if (canvas.top > ras.min_y() && !ras.navigate_scanline(canvas.top)) {
        return;
    }
    agg::scanline_u8& sl = impl.sl;
    sl.reset(ras.min_x(), ras.max_x());
    while (ras.sweep_scanline(sl)) {
        const int y = sl.y();
        if (y >= canvas.Bottom()) {
            break;
        }
        if (y < canvas.top) {
            continue;
        }
        unsigned n = sl.num_spans();
        for (auto span = sl.begin(); n > 0; --n, ++span) {
            int x = span->x;
            int len = span->len;
            const uint8_t* covers = span->covers;
            if (x < 0) {
                covers -= x;
                len += x;
                x = 0;
            }
            if (x + len > canvas.width) {
                len = canvas.width - x;
            }
            if (len > 0) {
                BlendSpan(canvas, paint, x, y, len, covers);
                work_ += uint64_t(len) * pictureRows_ / bandRows_;
            }
        }
    }
}

} // namespace render
