// Scan conversion with anti-aliasing: outlines in device pixels go in as segments, spans
// of coverage come out and are blended with a paint. Backed by Anti-Grain Geometry's
// cell rasterizer (its headers only; nothing here needs its compiled parts).
#pragma once

#include <cstdint>
#include <memory>

#include "player/core/render/paint.h"

namespace render {

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
    // A closed polygon (closing itself), for stroke pieces.
    void Polygon(const double* xy, int count);
    void Fill(const Canvas& canvas, const Paint& paint);
    bool Empty() const;

    // Work done since the last reset: pixels filled, and segments at kSegmentWork each.
    static const uint64_t kSegmentWork = 16;
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
    std::unique_ptr<Impl> impl_;
    double bandTop_ = 0, bandBottom_ = 0; // rows drawn, with a pixel to spare each side
    double lastX_ = 0, lastY_ = 0;
    uint64_t work_ = 0;
    uint64_t budget_ = UINT64_MAX;
};

} // namespace render
