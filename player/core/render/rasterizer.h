// Scan conversion with anti-aliasing: outlines in device pixels go in as segments, spans
// of coverage come out and are blended with a paint. Backed by Anti-Grain Geometry's
// cell rasterizer (its headers only; nothing here needs its compiled parts).
#pragma once

#include <cstdint>
#include <memory>
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
    double top = 0, bottom = -1;  // y extent of the points
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
        }
        top = p.y < top ? p.y : top;
        bottom = p.y > bottom ? p.y : bottom;
        points.push_back(p);
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
    // An outline moved by (dx, dy); left out whole when its work would pass the budget.
    void Add(const Outline& outline, double dx, double dy);
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
    struct Impl;
    template <class F> void Guarded(F&& f);
    void FillSpans(Impl& impl, const Canvas& canvas, const Paint& paint);
    // The pixels a segment crosses on the canvas (bounded coordinates).
    double Cells(double x0, double y0, double x1, double y1) const;
    std::unique_ptr<Impl> impl_;
    double bandTop_ = 0, bandBottom_ = 0; // rows drawn, with a pixel to spare each side
    double width_ = 0, height_ = 0;       // the whole picture's
    double lastX_ = 0, lastY_ = 0;
    uint64_t pictureRows_ = 1, bandRows_ = 1; // pixels filled count pictureRows_ / bandRows_
    uint64_t work_ = 0;
    uint64_t budget_ = UINT64_MAX;
};

} // namespace render
