// Scan conversion with anti-aliasing: outlines in device pixels go in as segments, spans
// of coverage come out and are blended with a paint. Exact area coverage: each segment
// adds, to the cells of every row it crosses, the signed area it leaves to its right, and a
// row's running sum of those is each pixel's coverage.
#pragma once

#include <cstdint>
#include <vector>

#include "player/core/render/paint.h"

namespace render {

using Point = swf::Point;

// Outlines in device pixels kept for the rasterizer: runs of points, each begun by a move,
// with the rows they reach. Points past `room` are left out (the outline is drawn partly),
// as the rasterizer itself leaves out cells past its own limit.
struct Outline {
    std::vector<Point> points;
    std::vector<uint32_t> starts; // where each run begins
    bool closeRuns = false;       // each run a polygon that closes itself (stroke pieces)
    double top = 0, bottom = -1;  // extent of the points
    double left = 0, right = -1;
    size_t room = SIZE_MAX;

    bool Empty() const { return points.empty(); }
    void Move(Point p) {
        if (points.size() < room) {
            starts.push_back(uint32_t(points.size()));
            Line(p);
        }
    }
    void Line(Point p) {
        if (points.size() >= room) {
            return;
        }
        if (points.empty()) {
            top = bottom = p.y;
            left = right = p.x;
        }
        top = p.y < top ? p.y : top;
        bottom = p.y > bottom ? p.y : bottom;
        left = p.x < left ? p.x : left;
        right = p.x > right ? p.x : right;
        points.push_back(p);
    }
    // The rows `place` maps the points to, at most: their box's corners'.
    void Rows(const Transform& place, double* first, double* last) const {
        const double y0 = place.b * (place.b < 0 ? right : left),
                     y1 = place.b * (place.b < 0 ? left : right);
        const double y2 = place.d * (place.d < 0 ? bottom : top),
                     y3 = place.d * (place.d < 0 ? top : bottom);
        *first = y0 + y2 + place.ty;
        *last = y1 + y3 + place.ty;
    }
    size_t Bytes() const {
        return points.capacity() * sizeof(Point) + starts.capacity() * sizeof(uint32_t);
    }
};

class Rasterizer {
  public:
    Rasterizer();
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Starts a new outline set clipped to the canvas; even-odd unless nonZero. Only the
    // rows the canvas holds are filled, and segments wholly outside them are left out:
    // each row's coverage comes from its own cells alone, so a band's rows come out as
    // they do when the whole picture is drawn at once.
    void Begin(const Canvas& canvas, bool nonZero);
    // Segments need not form closed contours one by one; all of them together must.
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    // A closed polygon (closing itself).
    void Polygon(const double* xy, int count);
    // An outline through `place`; left out whole when its work would pass the budget.
    void Add(const Outline& outline, const Transform& place);
    void Fill(const Canvas& canvas, const Paint& paint);
    bool Empty() const;

    // Work done since the last reset: pixels filled, segments at kSegmentWork each and
    // kCellWork for every pixel a segment crosses on the canvas (its cells, which cost more
    // than a pixel filled: they are made, sorted and summed). A band counts every segment,
    // its own or not, and its pixels as if every row were like its own: what the whole
    // picture would cost, as the budget is the whole picture's.
    static const uint64_t kSegmentWork = 16;
    static const uint64_t kCellWork = 8;
    // A frame's drawing stops once its budget is spent (see Renderer).
    void ResetWork(uint64_t budget) {
        work_ = 0;
        budget_ = budget;
    }
    uint64_t Work() const { return work_; }
    bool Spent() const { return work_ > budget_; }

  private:
    // A segment in 1/256 pixel, its x held to the canvas (a part beyond either side runs
    // down that side: what lies left of the canvas still covers the row to its right).
    struct Edge {
        int32_t x0, y0, x1, y1;
    };
    // LineTo without counting its work (the caller has): x and y bounded.
    void Segment(double x, double y);
    void AddEdge(double x0, double y0, double x1, double y1);
    void AddClamped(double x0, double y0, double x1, double y1);
    // The cells one edge adds to rows [first, end) of the strip beginning at row `top`.
    void Accumulate(const Edge& e, int top, int first, int end);
    void FillStrips(const Canvas& canvas, const Paint& paint);
    template <bool NonZero> void SweepRow(const Canvas& canvas, const Paint& paint, int y, int row);
    // A segment's work (bounded coordinates): kSegmentWork and its cells on the canvas.
    uint64_t SegmentWork(double x0, double y0, double x1, double y1) const;

    std::vector<Edge> edges_;
    std::vector<uint32_t> order_;  // edges by their top row, when a shape takes many strips
    std::vector<uint32_t> active_; // those reaching the strip being summed
    std::vector<uint32_t> acc_;    // a strip of rows of cells, `stride_` apart: pairs of wrapping
                                   // sums, the cell's own coverage and what it adds past it
    std::vector<uint64_t> marks_;  // a bit for each cell written, a row `words_` long
    std::vector<uint8_t> covers_;  // one row's coverage, by column
    int stride_ = 0, words_ = 0, firstCell_ = 0;
    int32_t minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    bool nonZero_ = true;
    double bandTop_ = 0, bandBottom_ = 0; // rows drawn, with a pixel to spare each side
    double width_ = 0, height_ = 0;       // the whole picture's
    double lastX_ = 0, lastY_ = 0;
    uint64_t pictureRows_ = 1, bandRows_ = 1; // pixels filled count pictureRows_ / bandRows_
    uint64_t work_ = 0;
    uint64_t filled_ = 0; // pixels the fill being drawn has blended
    uint64_t budget_ = UINT64_MAX;
};

} // namespace render
