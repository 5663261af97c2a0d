#include "player/core/timeline/drawing.h"

#include <algorithm>
#include <cmath>

namespace timeline {

namespace {

// Flash keeps 15 stops at most; ratios and alphas arrive in script units.
const size_t kMaxStops = 15;
const double kMaxLinePixels = 255;

int32_t ToTwips(double px) {
    const double t = std::round(px * 20);
    const double limit = double(1 << 30);
    return t != t ? 0 : static_cast<int32_t>(std::max(-limit, std::min(limit, t)));
}

uint8_t Channel(double v, double scale) {
    return v != v ? 0 : static_cast<uint8_t>(std::max(0.0, std::min(255.0, std::round(v * scale))));
}

swf::Rgba Color(uint32_t rgb, double alphaPercent) {
    swf::Rgba c;
    c.r = uint8_t(rgb >> 16);
    c.g = uint8_t(rgb >> 8);
    c.b = uint8_t(rgb);
    c.a = Channel(alphaPercent, 2.55);
    return c;
}

int32_t Fixed(double v) {
    const double f = std::round(v * 65536);
    return f != f ? 0 : static_cast<int32_t>(std::max(-2147483647.0, std::min(2147483647.0, f)));
}

// The gradient square is -16384..16384 in twips of the square, so pixels map 1:1 after both
// sides are scaled by 20: only the translation changes unit.
swf::Matrix GradientMatrix(const double* m) {
    swf::Matrix out;
    out.scaleX = Fixed(m[0]);
    out.rotateSkew0 = Fixed(m[1]);
    out.rotateSkew1 = Fixed(m[2]);
    out.scaleY = Fixed(m[3]);
    out.translateX = ToTwips(m[4]);
    out.translateY = ToTwips(m[5]);
    return out;
}

} // namespace

Drawing::Drawing(const Drawing& other)
    : paths_(other.paths_), fill_(other.fill_), line_(other.line_), cursor_(other.cursor_),
      start_(other.start_), edges_(other.edges_), bounds_(other.bounds_), bounded_(other.bounded_),
      generation_(other.generation_) {}

Drawing& Drawing::operator=(const Drawing& other) {
    if (this != &other) {
        paths_ = other.paths_;
        fill_ = other.fill_;
        line_ = other.line_;
        cursor_ = other.cursor_;
        start_ = other.start_;
        edges_ = other.edges_;
        bounds_ = other.bounds_;
        bounded_ = other.bounded_;
        generation_ = std::max(generation_, other.generation_) + 1;
        stale_ = true;
        cache_.reset();
    }
    return *this;
}

bool Drawing::Apply(const DrawOp& op) {
    // Every call but clear adds at most two paths and two edges.
    if (op.kind != DrawOp::Clear && edges_ + paths_.size() + 4 > kMaxDrawingItems) {
        return false;
    }
    const Point to{ToTwips(op.x), ToTwips(op.y)};
    switch (op.kind) {
    case DrawOp::Clear:
        paths_.clear();
        fill_ = line_ = -1;
        cursor_ = start_ = Point();
        edges_ = 0;
        bounds_ = swf::Rect();
        bounded_ = false;
        break;
    case DrawOp::LineStyle: {
        if (op.width < 0) { // NaN draws a hairline, as Flash does
            SetLine(nullptr);
            break;
        }
        swf::LineStyle style;
        style.width = uint16_t(ToTwips(std::min(op.width, kMaxLinePixels)));
        style.color = Color(op.rgb, op.alpha);
        SetLine(&style);
        break;
    }
    case DrawOp::BeginFill: {
        swf::FillStyle style;
        style.color = Color(op.rgb, op.alpha);
        NewFill(&style);
        break;
    }
    case DrawOp::BeginGradientFill: {
        const size_t n =
            std::min({op.colors.size(), op.alphas.size(), op.ratios.size(), kMaxStops});
        if (n == 0) {
            return true; // a gradient without stops changes nothing
        }
        swf::FillStyle style;
        style.kind = op.radial ? swf::FillKind::Radial : swf::FillKind::Linear;
        style.matrix = GradientMatrix(op.matrix);
        for (size_t i = 0; i < n; ++i) {
            swf::GradientStop stop;
            stop.ratio = Channel(op.ratios[i], 1);
            stop.color = Color(op.colors[i], op.alphas[i]);
            style.gradient.stops.push_back(stop);
        }
        NewFill(&style);
        break;
    }
    case DrawOp::BeginBitmapFill: {
        if (!op.bitmap) {
            return true;
        }
        swf::FillStyle style;
        style.kind = swf::FillKind::Bitmap;
        style.bitmap = op.bitmap;
        style.repeat = op.repeat;
        style.smooth = op.smooth;
        style.matrix = GradientMatrix(op.matrix);
        // Bitmap pixels map onto twips: the scales carry the 20.
        style.matrix.scaleX = Fixed(op.matrix[0] * 20);
        style.matrix.rotateSkew0 = Fixed(op.matrix[1] * 20);
        style.matrix.rotateSkew1 = Fixed(op.matrix[2] * 20);
        style.matrix.scaleY = Fixed(op.matrix[3] * 20);
        NewFill(&style);
        break;
    }
    case DrawOp::EndFill:
        NewFill(nullptr);
        break;
    case DrawOp::MoveTo:
        ClosePath();
        cursor_ = start_ = to;
        break;
    case DrawOp::LineTo:
        AddEdge(cursor_,
                Point{int32_t((int64_t(cursor_.x) + to.x) / 2),
                      int32_t((int64_t(cursor_.y) + to.y) / 2)},
                to, false);
        cursor_ = to;
        break;
    case DrawOp::CurveTo:
        AddEdge(cursor_, Point{ToTwips(op.cx), ToTwips(op.cy)}, to, true);
        cursor_ = to;
        break;
    }
    ++generation_;
    stale_ = true;
    return true;
}

// Ends the open fill (closing it) and starts `style`'s, if any; the current line goes on
// as a new path so that what it draws next lies above the new fill.
void Drawing::NewFill(const swf::FillStyle* style) {
    ClosePath();
    const bool hadLine = line_ >= 0;
    const swf::LineStyle line = hadLine ? paths_[line_].lineStyle : swf::LineStyle();
    Drop(&line_);
    Drop(&fill_);
    if (style != nullptr) {
        Path path;
        path.fill = true;
        path.fillStyle = *style;
        fill_ = AddPath(std::move(path));
    }
    if (hadLine) {
        SetLine(&line);
    }
    start_ = cursor_;
}

void Drawing::SetLine(const swf::LineStyle* style) {
    Drop(&line_);
    if (style != nullptr) {
        Path path;
        path.lineStyle = *style;
        line_ = AddPath(std::move(path));
    }
}

int Drawing::AddPath(Path path) {
    paths_.push_back(std::move(path));
    return int(paths_.size()) - 1;
}

// Lets go of a path; one that is last and drew nothing is removed, so style calls alone
// never pile up paths.
void Drawing::Drop(int* index) {
    if (*index >= 0 && size_t(*index) + 1 == paths_.size() && paths_.back().edges.empty()) {
        paths_.pop_back();
    }
    *index = -1;
}

void Drawing::ClosePath() {
    if (fill_ >= 0 && cursor_ != start_) {
        AddEdge(cursor_,
                Point{int32_t((int64_t(cursor_.x) + start_.x) / 2),
                      int32_t((int64_t(cursor_.y) + start_.y) / 2)},
                start_, false);
    }
}

void Drawing::AddEdge(const Point& from, const Point& control, const Point& to, bool curved) {
    swf::Edge e;
    e.x0 = from.x;
    e.y0 = from.y;
    e.cx = control.x;
    e.cy = control.y;
    e.x1 = to.x;
    e.y1 = to.y;
    e.curved = curved;
    for (int index : {fill_, line_}) {
        if (index < 0) {
            continue;
        }
        Path& path = paths_[index];
        path.edges.push_back(e);
        ++edges_;
        const int32_t pad = path.fill ? 0 : path.lineStyle.width / 2;
        Extend(e.x0, e.y0, pad);
        Extend(e.x1, e.y1, pad);
        if (!curved) {
            continue;
        }
        // A curve reaches beyond its ends only where it turns back along an axis.
        const double dx = double(e.x0) - 2.0 * e.cx + e.x1, dy = double(e.y0) - 2.0 * e.cy + e.y1;
        const double tx = dx != 0 ? (double(e.x0) - e.cx) / dx : -1;
        const double ty = dy != 0 ? (double(e.y0) - e.cy) / dy : -1;
        for (double t : {tx, ty}) {
            if (t > 0 && t < 1) {
                const double s = 1 - t;
                Extend(int32_t(std::lround(s * s * e.x0 + 2 * s * t * e.cx + t * t * e.x1)),
                       int32_t(std::lround(s * s * e.y0 + 2 * s * t * e.cy + t * t * e.y1)), pad);
            }
        }
    }
}

void Drawing::Extend(int32_t x, int32_t y, int32_t pad) {
    if (!bounded_) {
        bounds_ = swf::Rect{x - pad, x + pad, y - pad, y + pad};
        bounded_ = true;
        return;
    }
    bounds_.xMin = std::min(bounds_.xMin, x - pad);
    bounds_.xMax = std::max(bounds_.xMax, x + pad);
    bounds_.yMin = std::min(bounds_.yMin, y - pad);
    bounds_.yMax = std::max(bounds_.yMax, y + pad);
}

bool Drawing::Contains(int32_t x, int32_t y) const {
    if (Empty() || x < bounds_.xMin || x > bounds_.xMax || y < bounds_.yMin || y > bounds_.yMax) {
        return false;
    }
    return swf::ShapeContains(*Shape(), x, y);
}

const swf::Shape* Drawing::Shape() const {
    if (!stale_) {
        return edges_ != 0 ? &shape_ : nullptr;
    }
    stale_ = false;
    shape_ = swf::Shape();
    shape_.bounds = bounds_;
    swf::StyleGroup* group = nullptr;
    for (size_t i = 0; i < paths_.size(); ++i) {
        const Path& path = paths_[i];
        if (path.edges.empty()) {
            continue;
        }
        // Within a group every fill lies under every line, so a fill after lines starts
        // a new group.
        if (group == nullptr || (path.fill && !group->lines.empty()) ||
            group->fills.size() >= swf::kMaxStylesPerArray ||
            group->lines.size() >= swf::kMaxStylesPerArray) {
            shape_.groups.emplace_back();
            group = &shape_.groups.back();
        }
        uint16_t style;
        if (path.fill) {
            group->fills.push_back(path.fillStyle);
            style = uint16_t(group->fills.size());
        } else {
            group->lines.push_back(path.lineStyle);
            style = uint16_t(group->lines.size());
        }
        const size_t first = group->edges.size();
        group->edges.insert(group->edges.end(), path.edges.begin(), path.edges.end());
        // The open fill shows closed, and so does the line drawing its outline.
        if (fill_ >= 0 && cursor_ != start_ && (int(i) == fill_ || int(i) == line_)) {
            swf::Edge e;
            e.x0 = cursor_.x;
            e.y0 = cursor_.y;
            e.x1 = start_.x;
            e.y1 = start_.y;
            e.cx = int32_t((int64_t(e.x0) + e.x1) / 2);
            e.cy = int32_t((int64_t(e.y0) + e.y1) / 2);
            group->edges.push_back(e);
        }
        for (size_t k = first; k < group->edges.size(); ++k) {
            (path.fill ? group->edges[k].fill1 : group->edges[k].line) = style;
        }
    }
    return edges_ != 0 ? &shape_ : nullptr;
}

} // namespace timeline
