#include "player/core/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>

// Anti-Grain Geometry sorts an outline's cells into rows with a pass per row: its own
// quicksort compared through cell pointers at every step and was a fifth of a heavy frame.
// For the cell type the rasterizer uses, cells are counted into rows and each row is ordered
// by x on its own: by insertion when short (a row of a shape's outline holds a few cells,
// most of them already in order along their edge), else by std::sort. Cells of equal x are
// summed whatever their order, so the coverage is the same as with the quicksort.
namespace agg {
template <> void rasterizer_cells_aa<cell_aa>::sort_cells() {
    if (m_sorted) {
        return;
    }
    add_curr_cell();
    m_curr_cell.x = m_curr_cell.y = std::numeric_limits<int>::max();
    m_curr_cell.cover = m_curr_cell.area = 0;
    if (m_num_cells == 0) {
        return;
    }
    const unsigned n = m_num_cells;
    const unsigned rows = unsigned(m_max_y - m_min_y + 1);
    m_sorted_y.allocate(rows, 16);
    m_sorted_y.zero();
    m_sorted_cells.allocate(n, 16);
    // The cells block by block, as they were made.
    auto each = [&](auto&& f) {
        for (unsigned i = 0; i < n; i += cell_block_size) {
            cell_aa* c = m_cells[i >> cell_block_shift];
            for (cell_aa* end = c + std::min(unsigned(cell_block_size), n - i); c < end; ++c) {
                f(c);
            }
        }
    };
    each([&](cell_aa* c) { ++m_sorted_y[unsigned(c->y - m_min_y)].start; });
    for (unsigned y = 0, start = 0; y < rows; ++y) {
        const unsigned count = m_sorted_y[y].start;
        m_sorted_y[y].start = start;
        start += count;
    }
    each([&](cell_aa* c) {
        sorted_y& row = m_sorted_y[unsigned(c->y - m_min_y)];
        m_sorted_cells[row.start + row.num++] = c;
    });
    for (unsigned y = 0; y < rows; ++y) {
        cell_aa** first = m_sorted_cells.data() + m_sorted_y[y].start;
        cell_aa** last = first + m_sorted_y[y].num;
        if (last - first > 24) {
            std::sort(first, last, [](const cell_aa* l, const cell_aa* r) { return l->x < r->x; });
            continue;
        }
        for (cell_aa** i = first + 1; i < last; ++i) {
            cell_aa* c = *i;
            cell_aa** j = i;
            for (; j > first && (*(j - 1))->x > c->x; --j) {
                *j = *(j - 1);
            }
            *j = c;
        }
    }
    m_sorted = true;
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
    agg::scanline32_u8 sl;
    bool any = false;
};

Rasterizer::Rasterizer() : impl_(new Impl) {}
Rasterizer::~Rasterizer() = default;

// Anti-Grain Geometry frees a buffer before it asks for the larger one; a request the
// system refuses is granted from the memory reserve (swf/reserve.h), so the object never
// holds a freed pointer.
template <class F> void Rasterizer::Guarded(F&& f) {
    if (!impl_) {
        return;
    }
    f(*impl_);
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
    width_ = canvas.width;
    height_ = canvas.height;
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
    const double cells = Cells(lastX_, lastY_, x, y);
    lastX_ = x;
    lastY_ = y;
    work_ += kSegmentWork + uint64_t(cells) * kCellWork;
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

double Rasterizer::Cells(double x0, double y0, double x1, double y1) const {
    // Cells lie along the segment's part on the canvas, at most one per pixel crossed: a
    // segment off to a side still makes cells down the canvas's edge.
    const auto within = [](double v, double limit) { return std::max(0.0, std::min(limit, v)); };
    return std::fabs(within(x1, width_) - within(x0, width_)) +
           std::fabs(within(y1, height_) - within(y0, height_));
}

namespace {

// The outline's runs as moves and lines, offset by (dx, dy); a closed run ends where it
// began, and one of fewer than three points encloses nothing.
template <class Move, class Line>
void ForEachRun(const Outline& o, double dx, double dy, Move move, Line line) {
    for (size_t r = 0; r < o.starts.size(); ++r) {
        const size_t first = o.starts[r];
        const size_t end = r + 1 < o.starts.size() ? o.starts[r + 1] : o.points.size();
        if (o.closeRuns && end - first < 3) {
            continue;
        }
        move(o.points[first].x + dx, o.points[first].y + dy);
        for (size_t i = first + 1; i < end; ++i) {
            line(o.points[i].x + dx, o.points[i].y + dy);
        }
        if (o.closeRuns) {
            line(o.points[first].x + dx, o.points[first].y + dy);
        }
    }
}

} // namespace

void Rasterizer::Add(const Outline& o, double dx, double dy) {
    // An outline that would pass the budget is left out whole, its work counted: its cells
    // would cost what the budget is there to refuse, and a part of it is no picture.
    uint64_t cost = 0;
    double x0 = 0, y0 = 0;
    ForEachRun(
        o, dx, dy, [&](double x, double y) { x0 = Bound(x), y0 = Bound(y); },
        [&](double x, double y) {
            x = Bound(x), y = Bound(y);
            cost += kSegmentWork + uint64_t(Cells(x0, y0, x, y)) * kCellWork;
            x0 = x, y0 = y;
        });
    if (work_ > budget_ || cost > budget_ - work_) {
        work_ += cost;
        return;
    }
    ForEachRun(
        o, dx, dy, [&](double x, double y) { MoveTo(x, y); },
        [&](double x, double y) { LineTo(x, y); });
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
    agg::scanline32_u8& sl = impl.sl;
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
