#include "player/core/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace render {

namespace {

// Positions in 1/256 pixel. A segment crossing a cell adds its height there times twice the
// width it leaves to its right to the cell's own coverage, and twice its height to what the
// cell adds to the columns past it, so a whole pixel's coverage sums to kFull.
const int kSub = 256;
const uint32_t kFull = 2 * kSub * kSub;
// Cells summed at once: a strip of rows as wide as the outline, in cache.
const int kStripCells = 1 << 16;

// Far beyond any surface, yet inside 32-bit sums of 1/256 pixels.
double Bound(double v) {
    if (!(v == v)) {
        return 0;
    }
    return std::max(-1.0e6, std::min(1.0e6, v));
}

// Nearest, halves away from zero: the same in every build, without a library call.
int32_t Round(double v) {
    return static_cast<int32_t>(v < 0 ? v - 0.5 : v + 0.5);
}

int32_t Sub(double v) {
    return Round(v * kSub);
}

// Rows in whole pixels, rounding down.
int32_t RowOf(int32_t sub) {
    return sub >= 0 ? sub / kSub : -((-sub + kSub - 1) / kSub);
}

// Coverage in quarters, as four-sample multisampling gives it: what the reference player
// draws at its default quality, and still smooth edges.
const uint8_t kLevels[5] = {0, 64, 128, 191, 255};

// A running sum of cells as coverage: windings past one are whole under the non-zero rule,
// and alternate under the even-odd rule. Sums wrap at 32768 windings of one outline in one
// pixel, far past any drawing; a pixel so covered may come out as if less were.
template <bool NonZero> uint8_t AlphaOf(uint32_t sum) {
    const int32_t v = static_cast<int32_t>(sum);
    uint32_t c = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    if (NonZero) {
        c = std::min(c, kFull);
    } else {
        c &= 2 * kFull - 1;
        c = c > kFull ? 2 * kFull - c : c;
    }
    return kLevels[(c * 4 + kFull / 2) / kFull];
}

} // namespace

Rasterizer::Rasterizer() = default;
Rasterizer::~Rasterizer() = default;

void Rasterizer::Begin(const Canvas& canvas, bool nonZero) {
    edges_.clear();
    nonZero_ = nonZero;
    minX_ = minY_ = INT32_MAX;
    maxX_ = maxY_ = INT32_MIN;
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
}

void Rasterizer::LineTo(double x, double y) {
    x = Bound(x);
    y = Bound(y);
    work_ += SegmentWork(lastX_, lastY_, x, y);
    Segment(x, y);
}

void Rasterizer::Segment(double x, double y) {
    // A segment wholly above or below the band's rows has no cell there.
    const bool outside =
        (y < bandTop_ && lastY_ < bandTop_) || (y > bandBottom_ && lastY_ > bandBottom_);
    if (!outside) {
        AddEdge(lastX_, lastY_, x, y);
    }
    lastX_ = x;
    lastY_ = y;
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

uint64_t Rasterizer::SegmentWork(double x0, double y0, double x1, double y1) const {
    // Cells lie along the segment's part on the canvas, at most one per pixel crossed: a
    // segment off to a side still makes cells down the canvas's edge.
    const auto within = [](double v, double limit) { return std::max(0.0, std::min(limit, v)); };
    const double cells = std::fabs(within(x1, width_) - within(x0, width_)) +
                         std::fabs(within(y1, height_) - within(y0, height_));
    return kSegmentWork + uint64_t(cells) * kCellWork;
}

void Rasterizer::AddEdge(double x0, double y0, double x1, double y1) {
    // Cut where the segment crosses a side of the canvas, so that each part lies on one
    // side of it and can be held to the canvas whole.
    struct Cut {
        double t, side;
    } cuts[2];
    int n = 0;
    for (double side : {0.0, width_}) {
        if ((x0 < side) != (x1 < side)) {
            cuts[n++] = Cut{(side - x0) / (x1 - x0), side};
        }
    }
    if (n == 2 && cuts[0].t > cuts[1].t) {
        std::swap(cuts[0], cuts[1]);
    }
    double px = x0, py = y0;
    for (int i = 0; i < n; ++i) {
        const double qy = y0 + (y1 - y0) * cuts[i].t;
        AddClamped(px, py, cuts[i].side, qy);
        px = cuts[i].side;
        py = qy;
    }
    AddClamped(px, py, x1, y1);
}

void Rasterizer::AddClamped(double x0, double y0, double x1, double y1) {
    const auto held = [this](double x) { return Sub(std::max(0.0, std::min(width_, x))); };
    const Edge e{held(x0), Sub(y0), held(x1), Sub(y1)};
    if (e.y0 == e.y1) {
        return; // a level segment covers nothing
    }
    edges_.push_back(e);
    minX_ = std::min(minX_, std::min(e.x0, e.x1));
    maxX_ = std::max(maxX_, std::max(e.x0, e.x1));
    minY_ = std::min(minY_, std::min(e.y0, e.y1));
    maxY_ = std::max(maxY_, std::max(e.y0, e.y1));
}

namespace {

// The outline's runs as moves and lines through `at`; a closed run ends where it began, and
// one of fewer than three points encloses nothing.
template <class At, class Move, class Line>
void ForEachRun(const Outline& o, At at, Move move, Line line) {
    for (size_t r = 0; r < o.starts.size(); ++r) {
        const size_t first = o.starts[r];
        const size_t end = r + 1 < o.starts.size() ? o.starts[r + 1] : o.points.size();
        if (o.closeRuns && end - first < 3) {
            continue;
        }
        const Point start = at(o.points[first]);
        move(start.x, start.y);
        for (size_t i = first + 1; i < end; ++i) {
            const Point p = at(o.points[i]);
            line(p.x, p.y);
        }
        if (o.closeRuns) {
            line(start.x, start.y);
        }
    }
}

} // namespace

void Rasterizer::Add(const Outline& o, const Transform& place) {
    // Through the whole map even when it only moves the points: the same sums either way.
    const auto at = [&place](Point p) { return place.Apply(p); };
    // An outline that would pass the budget is left out whole, its work counted: its cells
    // would cost what the budget is there to refuse, and a part of it is no picture.
    uint64_t cost = 0;
    double x0 = 0, y0 = 0;
    ForEachRun(
        o, at, [&](double x, double y) { x0 = Bound(x), y0 = Bound(y); },
        [&](double x, double y) {
            x = Bound(x), y = Bound(y);
            cost += SegmentWork(x0, y0, x, y);
            x0 = x, y0 = y;
        });
    const bool fits = work_ <= budget_ && cost <= budget_ - work_;
    work_ += cost;
    if (!fits) {
        return;
    }
    ForEachRun(
        o, at, [&](double x, double y) { MoveTo(x, y); },
        [&](double x, double y) { Segment(Bound(x), Bound(y)); });
}

bool Rasterizer::Empty() const {
    return edges_.empty();
}

namespace {

// Marks cells first..last of a row as written.
inline void Mark(uint64_t* m, int first, int last) {
    const int w0 = first >> 6, w1 = last >> 6;
    const uint64_t head = ~uint64_t(0) << (first & 63), tail = ~uint64_t(0) >> (63 - (last & 63));
    if (w0 == w1) {
        m[w0] |= head & tail;
        return;
    }
    m[w0] |= head;
    for (int w = w0 + 1; w < w1; ++w) {
        m[w] = ~uint64_t(0);
    }
    m[w1] |= tail;
}

// A segment's part within one row of cells `a` (pairs: the cell's own part of a pixel, and
// what it adds to the running sum past it) and marks `m`, from its top (xa, ya) to its
// bottom (xb, yb): columns from the strip's first cell, y within the row. `sign` is +1 for
// a segment going down; `dydx` is the segment's own slope, so that no piece needs a division.
// Inlined into its one caller: a call per row of every segment costs a tenth of the pieces.
[[gnu::always_inline]] inline void Piece(uint32_t* a, uint64_t* m, int32_t xa, int32_t ya,
                                         int32_t xb, int32_t yb, int32_t sign, double dydx) {
    const int ca = xa >> 8, cb = xb >> 8; // both at or right of the strip's first cell
    if (ca == cb) {
        const int32_t dy = (yb - ya) * sign, fractions = xa + xb - 2 * ca * kSub;
        a[2 * ca] += uint32_t(dy * (2 * kSub - fractions));
        a[2 * ca + 1] += uint32_t(dy * 2 * kSub);
        m[ca >> 6] |= uint64_t(1) << (ca & 63);
        return;
    }
    // Cell by cell from left to right; y at each cell's side follows the segment, rising or
    // falling all the way, so each cell's height has the sign of its direction.
    const bool rightward = xa < xb;
    const int32_t xl = rightward ? xa : xb, yl = rightward ? ya : yb;
    const int32_t xr = rightward ? xb : xa, yr = rightward ? yb : ya;
    const int32_t along = rightward ? sign : -sign;
    const int cl = std::min(ca, cb), cr = std::max(ca, cb);
    const auto yAt = [&](int32_t x) {
        return std::max(ya, std::min(yb, yl + Round((x - xl) * dydx)));
    };
    int32_t x1 = (cl + 1) * kSub, y0 = yAt(x1);
    int32_t h = (y0 - yl) * along;
    a[2 * cl] += uint32_t(h * (2 * kSub - (xl + x1 - 2 * cl * kSub)));
    a[2 * cl + 1] += uint32_t(h * 2 * kSub);
    for (int c = cl + 1; c < cr; ++c) { // whole columns: the piece crosses their middles
        x1 += kSub;
        const int32_t y1 = yAt(x1);
        h = (y1 - y0) * along;
        a[2 * c] += uint32_t(h * kSub);
        a[2 * c + 1] += uint32_t(h * 2 * kSub);
        y0 = y1;
    }
    h = (yr - y0) * along;
    a[2 * cr] += uint32_t(h * (2 * kSub - (xr - cr * kSub)));
    a[2 * cr + 1] += uint32_t(h * 2 * kSub);
    Mark(m, cl, cr);
}

} // namespace

void Rasterizer::Accumulate(const Edge& e, int top, int first, int end) {
    const bool down = e.y0 < e.y1;
    const int32_t sign = down ? 1 : -1;
    const int32_t xTop = down ? e.x0 : e.x1, yTop = down ? e.y0 : e.y1;
    const int32_t xBottom = down ? e.x1 : e.x0, yBottom = down ? e.y1 : e.y0;
    const int r0 = std::max(first, RowOf(yTop)), r1 = std::min(end, RowOf(yBottom - 1) + 1);
    const double dxdy = double(xBottom - xTop) / double(yBottom - yTop);
    const double dydx = xBottom != xTop ? double(yBottom - yTop) / double(xBottom - xTop) : 0;
    const int32_t offset = firstCell_ * kSub;
    // Each row's ends come from the segment's own ends, whatever rows were cut before, so
    // that a band's rows come out as the whole picture's.
    const auto xAt = [&](int32_t y) {
        return y == yTop ? xTop : y == yBottom ? xBottom : xTop + Round((y - yTop) * dxdy);
    };
    int32_t xa = xAt(std::max(yTop, r0 * kSub));
    uint32_t* a = acc_.data() + 2 * size_t(r0 - top) * size_t(stride_);
    uint64_t* m = marks_.data() + size_t(r0 - top) * size_t(words_);
    for (int r = r0; r < r1; ++r, a += 2 * stride_, m += words_) {
        const int32_t ya = std::max(yTop, r * kSub), yb = std::min(yBottom, (r + 1) * kSub);
        const int32_t xb = xAt(yb); // the next row's top
        Piece(a, m, xa - offset, ya - r * kSub, xb - offset, yb - r * kSub, sign, dydx);
        xa = xb;
    }
}

// A row's cells in column order, from the bits of those written: each cell's own coverage
// is the running sum with its part of the pixel, and the columns up to the next written cell
// share the running sum past it. A span runs on over uncovered columns (blending leaves them
// as they are) and only a long stretch of them ends it: fewer, longer spans, and no branch
// on each cell's coverage, which follows no pattern a processor could guess.
template <bool NonZero>
void Rasterizer::SweepRow(const Canvas& canvas, const Paint& paint, int y, int row) {
    uint32_t* a = acc_.data() + 2 * size_t(row) * size_t(stride_);
    uint64_t* m = marks_.data() + size_t(row) * size_t(words_);
    uint8_t* covers = covers_.data(); // room for nine past the row's end
    const int width = canvas.width, first = firstCell_, words = words_;
    // Uncovered columns cost a solid colour next to nothing; other paints make each pixel.
    const int longGap = paint.kind == PaintKind::Solid ? 256 : 32;
    int spanStart = -1; // the first column of the coverage gathered for blending
    int next = 0;       // the first column not yet given its coverage
    uint8_t runAlpha = 0;
    const auto blend = [&](int end) {
        if (end > spanStart) {
            BlendSpan(canvas, paint, spanStart, y, end - spanStart, covers + spanStart);
            filled_ += uint64_t(end - spanStart);
        }
        spanStart = -1;
    };
    uint32_t sum = 0;
    for (int w = 0; w < words; ++w) {
        uint64_t bits = m[w];
        if (bits == 0) {
            continue;
        }
        m[w] = 0;
        for (; bits != 0; bits &= bits - 1) {
            const int j = w * 64 + __builtin_ctzll(bits);
            const int column = first + j;
            // Columns from `next` up to this cell at the running sum's coverage: eight written
            // whatever their number (those past it are written again before they are read).
            const uint64_t eight = 0x0101010101010101ull * runAlpha;
            std::memcpy(covers + next, &eight, 8);
            const int gap = std::min(column, width) - next;
            if (gap > 8) {
                if (runAlpha == 0 && gap >= longGap) {
                    if (spanStart >= 0) {
                        blend(next);
                    }
                } else {
                    std::memset(covers + next, runAlpha, size_t(gap));
                }
            }
            covers[column] = AlphaOf<NonZero>(sum + a[2 * j]);
            sum += a[2 * j + 1];
            std::memset(a + 2 * j, 0, 8);
            spanStart = spanStart < 0 ? column : spanStart;
            next = column + 1;
            runAlpha = AlphaOf<NonZero>(sum);
        }
    }
    // Past the last cell nothing is covered once the outline closes; one left open covers
    // the column after it too, where its last part of a pixel ends.
    covers[next] = runAlpha;
    if (spanStart >= 0) {
        blend(std::min(next + (runAlpha != 0 ? 1 : 0), width));
    }
}

void Rasterizer::Fill(const Canvas& canvas, const Paint& paint) {
    filled_ = 0;
    FillStrips(canvas, paint);
    work_ += filled_ * pictureRows_ / bandRows_;
}

void Rasterizer::FillStrips(const Canvas& canvas, const Paint& paint) {
    if (edges_.empty()) {
        return;
    }
    const int top = std::max(canvas.top, RowOf(minY_));
    const int bottom = std::min(canvas.Bottom(), RowOf(maxY_ - 1) + 1);
    if (top >= bottom) {
        return;
    }
    // Cells from the outline's leftmost column to its rightmost, rows a whole number of mark
    // words wide; each cell holds its own part of a pixel and what it adds to the running sum.
    firstCell_ = minX_ / kSub;
    const int cells = maxX_ / kSub - firstCell_ + 1;
    stride_ = (cells + 63) & ~63;
    words_ = stride_ / 64;
    const int rows = std::max(1, std::min(bottom - top, kStripCells / stride_));
    // Every cell and mark is left zero by the sweep that reads it.
    if (acc_.size() < 2 * size_t(rows) * size_t(stride_)) {
        acc_.resize(2 * size_t(rows) * size_t(stride_), 0);
    }
    if (marks_.size() < size_t(rows) * size_t(words_)) {
        marks_.resize(size_t(rows) * size_t(words_), 0);
    }
    if (covers_.size() < size_t(canvas.width) + 10) {
        covers_.resize(size_t(canvas.width) + 10);
    }
    const auto sweep = nonZero_ ? &Rasterizer::SweepRow<true> : &Rasterizer::SweepRow<false>;
    if (bottom - top <= rows) {
        for (const Edge& e : edges_) {
            Accumulate(e, top, top, bottom);
        }
        for (int y = top; y < bottom; ++y) {
            (this->*sweep)(canvas, paint, y, y - top);
        }
        return;
    }
    // Strip by strip, with the edges that reach each.
    const auto topRow = [this](uint32_t i) { return RowOf(std::min(edges_[i].y0, edges_[i].y1)); };
    order_.resize(edges_.size());
    std::iota(order_.begin(), order_.end(), 0u);
    std::sort(order_.begin(), order_.end(),
              [&](uint32_t l, uint32_t r) { return topRow(l) < topRow(r); });
    active_.clear();
    size_t next = 0;
    for (int strip = top; strip < bottom; strip += rows) {
        const int end = std::min(bottom, strip + rows);
        for (; next < order_.size() && topRow(order_[next]) < end; ++next) {
            active_.push_back(order_[next]);
        }
        size_t kept = 0;
        for (uint32_t i : active_) {
            const Edge& e = edges_[i];
            Accumulate(e, strip, strip, end);
            if (RowOf(std::max(e.y0, e.y1) - 1) + 1 > end) {
                active_[kept++] = i;
            }
        }
        active_.resize(kept);
        for (int y = strip; y < end; ++y) {
            (this->*sweep)(canvas, paint, y, y - strip);
        }
    }
}

} // namespace render
