#include "player/core/render/shape_draw.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

const double kTolerance = 0.15; // pixels a flattened curve may stray

// How many straight pieces keep a curve within the tolerance.
int Pieces(const Point& p0, const Point& c, const Point& p1) {
    const double dx = p0.x - 2 * c.x + p1.x, dy = p0.y - 2 * c.y + p1.y;
    const double dd = std::sqrt(dx * dx + dy * dy);
    const double n = std::ceil(std::sqrt(dd / (8 * kTolerance)));
    return n < 200 ? std::max(1, static_cast<int>(n)) : 200; // NaN takes the most pieces too
}

template <typename F> void Flatten(const Transform& t, const PathEdge& e, F lineTo) {
    Point p1;
    t.Apply(e.x1, e.y1, &p1.x, &p1.y);
    if (!e.curved) {
        lineTo(p1);
        return;
    }
    Point p0, c;
    t.Apply(e.x0, e.y0, &p0.x, &p0.y);
    t.Apply(e.cx, e.cy, &c.x, &c.y);
    const int n = Pieces(p0, c, p1);
    for (int i = 1; i < n; ++i) {
        const double s = double(i) / n, r = 1 - s;
        lineTo(Point{r * r * p0.x + 2 * r * s * c.x + s * s * p1.x,
                     r * r * p0.y + 2 * r * s * c.y + s * s * p1.y});
    }
    lineTo(p1);
}

void StrokeLines(const std::vector<PathEdge>& edges, const swf::LineStyle& style,
                 const Transform& t, double stageScale, Outline* out) {
    StrokeStyle s;
    // LineStyle2's scale flags keep a line's width whatever its object's scale.
    const double width = style.width * (style.noHScale || style.noVScale ? stageScale : t.Scale());
    s.halfWidth = std::max(1.0, width) / 2;
    s.startCap = style.startCap;
    s.endCap = style.endCap;
    s.join = style.join;
    s.miterLimit = std::max(1.0, style.miterLimit / 256.0);
    std::vector<Point> run;
    int32_t lastX = 0, lastY = 0;
    int32_t firstX = 0, firstY = 0;
    auto flush = [&]() {
        if (!run.empty()) {
            StrokePolyline(run, lastX == firstX && lastY == firstY && run.size() > 2, s, out);
            run.clear();
        }
    };
    for (const PathEdge& e : edges) {
        if (out->points.size() + run.size() >= out->room) {
            break; // the shape's points are spent
        }
        if (run.empty() || e.x0 != lastX || e.y0 != lastY) {
            flush();
            Point p0;
            t.Apply(e.x0, e.y0, &p0.x, &p0.y);
            run.push_back(p0);
            firstX = e.x0;
            firstY = e.y0;
        }
        Flatten(t, e, [&](const Point& p) { run.push_back(p); });
        lastX = e.x1;
        lastY = e.y1;
    }
    flush();
}

} // namespace

void PrepareShape(const swf::Shape& shape, PreparedShape* out) {
    out->source = &shape;
    out->groups.clear();
    for (const swf::StyleGroup& g : shape.groups) {
        PreparedGroup p;
        p.fills.resize(g.fills.size());
        p.lines.resize(g.lines.size());
        for (const swf::Edge& e : g.edges) {
            const PathEdge forward{e.x0, e.y0, e.cx, e.cy, e.x1, e.y1, e.curved};
            if (e.fill1 != 0 && e.fill1 <= p.fills.size()) {
                p.fills[e.fill1 - 1].push_back(forward);
            }
            if (e.fill0 != 0 && e.fill0 <= p.fills.size()) {
                p.fills[e.fill0 - 1].push_back(
                    PathEdge{e.x1, e.y1, e.cx, e.cy, e.x0, e.y0, e.curved});
            }
            if (e.line != 0 && e.line <= p.lines.size()) {
                p.lines[e.line - 1].push_back(forward);
            }
        }
        out->groups.push_back(std::move(p));
    }
}

size_t ShapePaths::Bytes() const {
    size_t bytes = 0;
    for (const auto* kind : {&fills, &lines}) {
        for (const std::vector<Outline>& group : *kind) {
            for (const Outline& o : group) {
                bytes += sizeof(Outline) + o.Bytes();
            }
        }
    }
    return bytes;
}

void BuildPaths(const PreparedShape& shape, const Transform& toDevice, const ShapeContext& context,
                ShapePaths* out) {
    Transform t = toDevice;
    t.tx = t.ty = 0;
    out->fills.assign(shape.groups.size(), {});
    out->lines.assign(shape.groups.size(), {});
    size_t room = kMaxShapePoints;
    for (size_t gi = 0; gi < shape.groups.size(); ++gi) {
        const PreparedGroup& g = shape.groups[gi];
        out->fills[gi].resize(g.fills.size());
        for (size_t i = 0; i < g.fills.size(); ++i) {
            Outline& o = out->fills[gi][i];
            o.room = room;
            int32_t lastX = 0, lastY = 0;
            bool open = false;
            for (const PathEdge& e : g.fills[i]) {
                if (o.points.size() >= o.room) {
                    break;
                }
                if (!open || e.x0 != lastX || e.y0 != lastY) {
                    Point p;
                    t.Apply(e.x0, e.y0, &p.x, &p.y);
                    o.Move(p);
                    open = true;
                }
                Flatten(t, e, [&o](const Point& p) { o.Line(p); });
                lastX = e.x1;
                lastY = e.y1;
            }
            room -= o.points.size();
        }
        out->lines[gi].resize(g.lines.size());
        for (size_t i = 0; i < g.lines.size(); ++i) {
            Outline& o = out->lines[gi][i];
            o.closeRuns = true;
            o.room = room;
            if (!g.lines[i].empty()) {
                StrokeLines(g.lines[i], shape.source->groups[gi].lines[i], t, context.stageScale,
                            &o);
            }
            room -= o.points.size();
        }
    }
}

void DrawShape(const PreparedShape& shape, const ShapePaths& paths, const Transform& place,
               const Transform& t, const swf::ColorTransform& cx, const ShapeContext& context,
               const Canvas& canvas, Rasterizer* ras, const Paint* solidOverride) {
    const swf::Shape& source = *shape.source;
    // Whether an outline reaches the canvas's rows where the shape is now.
    const auto reaches = [&](const Outline& o) {
        double first = 0, last = 0;
        o.Rows(place, &first, &last);
        return !o.Empty() && last >= canvas.top - 1 && first <= canvas.Bottom() + 1;
    };
    for (size_t gi = 0; gi < shape.groups.size() && gi < paths.fills.size(); ++gi) {
        const swf::StyleGroup& styles = source.groups[gi];
        const std::vector<Outline>& fills = paths.fills[gi];
        for (size_t i = 0; i < fills.size(); ++i) {
            if (!reaches(fills[i]) || ras->Spent()) {
                continue;
            }
            Paint paint;
            const swf::FillStyle& fill = styles.fills[i];
            if (solidOverride != nullptr) {
                paint = *solidOverride;
            } else if (!MakePaint(fill, t, cx,
                                  fill.kind != swf::FillKind::Bitmap ? nullptr
                                  : fill.bitmap                      ? fill.bitmap.get()
                                                : context.bitmaps(fill.bitmapId),
                                  &paint, context.ramps)) {
                continue;
            }
            ras->Begin(canvas, source.nonZero);
            ras->Add(fills[i], place);
            ras->Fill(canvas, paint);
        }
        if (solidOverride != nullptr) {
            continue;
        }
        const std::vector<Outline>& lines = paths.lines[gi];
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!reaches(lines[i]) || ras->Spent()) {
                continue;
            }
            const swf::LineStyle& style = styles.lines[i];
            Paint paint;
            if (style.hasFill) {
                const swf::FillStyle& fill = style.fill;
                if (!MakePaint(fill, t, cx,
                               fill.kind != swf::FillKind::Bitmap ? nullptr
                               : fill.bitmap                      ? fill.bitmap.get()
                                                                  : context.bitmaps(fill.bitmapId),
                               &paint, context.ramps)) {
                    continue;
                }
            } else {
                paint = SolidPaint(style.color, cx);
            }
            ras->Begin(canvas, true);
            ras->Add(lines[i], place);
            ras->Fill(canvas, paint);
        }
    }
}

} // namespace render
