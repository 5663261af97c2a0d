#include "player/core/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>

// Anti-Grain Geometry sorts an outline's cells into rows with a pass per row: its own
// quicksort compared through cell pointers at every step and was a fifth of a heavy frame.
// For the cell type the rasterizer uses, the whole outline is ordered in two counting passes
// instead: by x, then stably by y, so each row comes out ordered by x. Cells of equal x are
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
    auto at = [this](unsigned i) { return m_cells[i >> cell_block_shift] + (i & cell_block_mask); };
    // Counting by column costs the outline's width: an outline far wider than its cells
    // (a few slivers far apart) has each row sorted on its own instead. The column counts
    // live past the rows' entries and the cells ordered by column past the rows' cells, so
    // an outline asks for no memory of its own, beyond a second pointer per cell; past
    // render::kCountedCells cells (a hostile outline), rows are sorted one by one instead.
    const unsigned rows = unsigned(m_max_y - m_min_y + 1);
    const uint64_t width = uint64_t(int64_t(m_max_x) - m_min_x) + 1;
    bool counting = width <= uint64_t(n) * 8 + 256 && n <= render::kCountedCells;
    m_sorted_y.allocate(rows + (counting ? unsigned(width) : 0), 16);
    m_sorted_y.zero();
    sorted_y* columns = m_sorted_y.data() + rows; // `start` counts a column's cells
    int minX = m_min_x, maxX = m_max_x;
    for (unsigned i = 0; i < n; ++i) {
        const cell_aa* c = at(i);
        minX = std::min(minX, c->x);
        maxX = std::max(maxX, c->x);
        ++m_sorted_y[unsigned(c->y - m_min_y)].start;
    }
    counting = counting && minX == m_min_x && maxX == m_max_x; // cells within the bounds
    unsigned start = 0;
    for (unsigned y = 0; y < rows; ++y) {
        const unsigned count = m_sorted_y[y].start;
        m_sorted_y[y].start = start;
        start += count;
    }
    m_sorted_cells.allocate(counting ? n * 2 : n, 16);
    if (!counting) {
        for (unsigned i = 0; i < n; ++i) {
            sorted_y& row = m_sorted_y[unsigned(at(i)->y - m_min_y)];
            m_sorted_cells[row.start + row.num++] = at(i);
        }
        for (unsigned y = 0; y < rows; ++y) {
            cell_aa** first = m_sorted_cells.data() + m_sorted_y[y].start;
            std::sort(first, first + m_sorted_y[y].num,
                      [](const cell_aa* l, const cell_aa* r) { return l->x < r->x; });
        }
        m_sorted = true;
        return;
    }
    for (unsigned i = 0; i < n; ++i) {
        ++columns[unsigned(at(i)->x - m_min_x)].start;
    }
    for (unsigned x = 0, sum = 0; x < unsigned(width); ++x) {
        const unsigned count = columns[x].start;
        columns[x].start = sum;
        sum += count;
    }
    cell_aa** byX = m_sorted_cells.data() + n;
    for (unsigned i = 0; i < n; ++i) {
        cell_aa* c = at(i);
        byX[columns[unsigned(c->x - m_min_x)].start++] = c;
    }
    for (unsigned i = 0; i < n; ++i) {
        sorted_y& row = m_sorted_y[unsigned(byX[i]->y - m_min_y)];
        m_sorted_cells[row.start + row.num++] = byX[i];
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
