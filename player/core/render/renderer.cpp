#include "player/core/render/renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "player/core/render/filters.h"
#include "player/core/render/scale9.h"
#include "player/core/timeline/bounds.h"

namespace render {

namespace {

const int kMaxDrawNesting = 64;
// Each active mask and each layer holds a surface-sized buffer; these bound how many at once.
const size_t kMaxActiveMasks = 16;
const int kMaxLayers = 4;

Transform Translate(double x, double y) {
    Transform t;
    t.tx = x;
    t.ty = y;
    return t;
}

// What the renderer keeps with a script's drawing: its shape prepared for the drawing's
// generation it was built from.
struct PreparedDrawing : timeline::DrawingCache {
    uint32_t generation = 0;
    PreparedShape prepared;
};

// Band rows at the least. One band per thread: each band scan-converts the whole of every
// outline that reaches it, so more bands would even out the threads' shares at the price of
// converting large shapes again in each.
const int kMinBandRows = 16;

// Whether any object under `clip` has filters (which read the rows around each pixel).
bool HasFilters(const timeline::Clip& clip, int nesting) {
    if (nesting > kMaxDrawNesting) {
        return false;
    }
    for (const auto& entry : clip.objects) {
        const timeline::DisplayObject& o = entry.second;
        if (!o.filters.empty() || (o.clip && HasFilters(*o.clip, nesting + 1))) {
            return true;
        }
    }
    return false;
}

// Nested scales can multiply beyond any surface (or overflow); objects so placed are not
// drawn rather than converted to pixels.
bool Drawable(const Transform& m) {
    const double largest =
        std::max({std::fabs(m.a), std::fabs(m.b), std::fabs(m.c), std::fabs(m.d)});
    return largest < 1e5 && std::fabs(m.tx) < 1e9 && std::fabs(m.ty) < 1e9;
}

// Whether device bounds lie wholly off the canvas (a margin covers hairlines and glyph
// overhangs).
bool OffCanvas(const double b[4], const Canvas& canvas) {
    return b[2] < -2 || b[3] < -2 || b[0] > canvas.width + 2 || b[1] > canvas.height + 2;
}

} // namespace

struct Renderer::ActiveMask {
    uint16_t clipDepth = 0;
    std::vector<uint8_t> coverage; // the canvas's rows; empty: no room for it, what it
                                   // masks is not drawn
    size_t* reserved = nullptr;    // the whole picture's mask, given back when the mask goes
    size_t bytes = 0;
    ActiveMask() = default;
    ActiveMask(ActiveMask&& o) noexcept
        : clipDepth(o.clipDepth), coverage(std::move(o.coverage)), reserved(o.reserved),
          bytes(o.bytes) {
        o.reserved = nullptr;
    }
    ActiveMask& operator=(ActiveMask&&) = delete;
    ~ActiveMask() {
        if (reserved != nullptr) {
            *reserved -= bytes;
        }
    }
};

Renderer::Renderer() : Renderer(nullptr) {}

Renderer::Renderer(Shared* shared) : own_(shared == nullptr ? new Shared : nullptr) {
    shared_ = shared != nullptr ? shared : own_.get();
    context_.ramps = &ramps_;
    context_.bitmaps = [this](uint16_t id) -> const swf::Bitmap* {
        if (movie_ == nullptr) {
            return nullptr;
        }
        std::lock_guard<std::mutex> hold(shared_->lock);
        return shared_->bitmaps.Get(movie_->dictionary, id);
    };
}
Renderer::~Renderer() = default;

void Renderer::Clear() {
    shared_->ClearPaths();
    shared_->prepared.clear();
    shared_->morphs.clear();
    shared_->bitmaps.Clear();
}

void Renderer::SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics) {
    shared_->deviceSource = std::move(source);
    shared_->deviceMetrics = metrics;
    shared_->ClearPaths();
    shared_->deviceGlyphs.clear();
}

void Renderer::SetThreads(int count) {
    threads_ = std::max(1, std::min(kMaxDrawThreads, count));
}

const PreparedShape& Renderer::Prepared(const swf::Shape* shape) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    auto it = shared_->prepared.find(shape);
    if (it == shared_->prepared.end()) {
        it = shared_->prepared.emplace(shape, PreparedShape()).first;
        PrepareShape(*shape, &it->second);
    }
    return it->second;
}

const PreparedShape& Renderer::Morph(const swf::MorphShape* morph, uint16_t ratio) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    Shared::MorphCache& cache = shared_->morphs[std::make_pair(morph, ratio)];
    if (!cache.shape) {
        cache.shape.reset(new swf::Shape(swf::InterpolateMorph(*morph, ratio)));
        PrepareShape(*cache.shape, &cache.prepared);
    }
    cache.used = shared_->frame;
    return cache.prepared;
}

void Renderer::StartFrame() {
    Shared& sh = *shared_;
    ++sh.frame;
    for (auto it = sh.morphs.begin(); it != sh.morphs.end();) {
        it = it->second.used + 1 < sh.frame ? sh.morphs.erase(it) : std::next(it);
    }
    for (auto it = sh.paths.begin(); it != sh.paths.end();) {
        if (it->second->used + 1 < sh.frame) {
            sh.pathBytes -= it->second->bytes;
            it = sh.paths.erase(it);
        } else {
            ++it;
        }
    }
    if (sh.deviceGlyphs.size() > 8192) {
        sh.ClearPaths();
        sh.deviceGlyphs.clear(); // a movie cycling through many characters or faces
    }
}

bool Renderer::Shared::PathKey::operator<(const PathKey& o) const {
    if (shape != o.shape) {
        return std::less<const PreparedShape*>()(shape, o.shape);
    }
    return std::lexicographical_compare(bits, bits + 5, o.bits, o.bits + 5);
}

const ShapePaths* Renderer::KeptPaths(const PreparedShape& shape, const Transform& m) {
    Shared::PathEntry* entry = nullptr;
    {
        Shared::PathKey key{&shape, {}};
        const double linear[5] = {m.a, m.b, m.c, m.d, context_.stageScale};
        std::memcpy(key.bits, linear, sizeof key.bits);
        std::lock_guard<std::mutex> hold(shared_->lock);
        auto it = shared_->paths.find(key);
        if (it != shared_->paths.end()) {
            entry = it->second.get();
        } else if (shared_->pathBytes < kMaxPathBytes) {
            entry = shared_->paths
                        .emplace(key, std::unique_ptr<Shared::PathEntry>(new Shared::PathEntry))
                        .first->second.get();
        }
        if (entry == nullptr) {
            return nullptr;
        }
        entry->used = shared_->frame;
    }
    std::lock_guard<std::mutex> hold(entry->lock);
    if (!entry->built) {
        BuildPaths(shape, m, context_, &entry->paths);
        entry->built = true;
        entry->bytes = entry->paths.Bytes();
        std::lock_guard<std::mutex> count(shared_->lock);
        shared_->pathBytes += entry->bytes;
        ++shared_->built;
    }
    return &entry->paths;
}

void Renderer::DrawPrepared(const PreparedShape& shape, const Transform& m,
                            const swf::ColorTransform& cx, const Canvas& canvas, const Paint* solid,
                            bool keep) {
    // Built unturned and turned as drawn, kept or not, so that keeping changes no pixel.
    Transform built, place;
    m.SplitTurn(&built, &place);
    const ShapePaths* paths = keep ? KeptPaths(shape, built) : nullptr;
    if (paths == nullptr) {
        BuildPaths(shape, built, context_, &scratch_);
        paths = &scratch_;
    }
    DrawShape(shape, *paths, place, m, cx, context_, canvas, &ras_, solid);
}

void Renderer::KeepShapes(const timeline::Clip& clip, const Transform& m, const Canvas& canvas,
                          int nesting, int task, int tasks) {
    if (nesting > kMaxDrawNesting) {
        return;
    }
    int index = 0;
    for (const auto& entry : clip.objects) {
        const timeline::DisplayObject& o = entry.second;
        const timeline::Character* ch = o.character;
        if (index++ % tasks != task || !o.visible || o.isMask || o.clipDepth != 0 ||
            ch == nullptr) {
            continue;
        }
        const Transform own = m * Transform::From(o.matrix);
        if (!Drawable(own)) {
            continue;
        }
        double b[4];
        if (ch->kind == timeline::Kind::Shape && DeviceBounds(o, own, 0, b) &&
            !OffCanvas(b, canvas)) {
            Transform built, place;
            own.SplitTurn(&built, &place);
            KeptPaths(Prepared(ch->shape.get()), built);
        } else if (ch->kind == timeline::Kind::Sprite && o.clip && !o.hasScale9) {
            KeepShapes(*o.clip, own, canvas, nesting + 1, 0, 1);
        }
    }
}

int Renderer::BandsFor(const timeline::Clip& root, const Canvas& canvas) const {
    if (threads_ <= 1 || canvas.pixels == nullptr || canvas.top != 0 ||
        canvas.Rows() < 2 * kMinBandRows || HasFilters(root, 0)) {
        return 1;
    }
    return std::min(threads_, canvas.Rows() / kMinBandRows);
}

std::vector<double> Renderer::RowCosts(const timeline::Clip& root, const Canvas& canvas,
                                       const Transform& view) const {
    // Each row costs its clearing, and each object its width in the rows its box spans, with
    // its edges' cells: an estimate, to give threads even shares; the pixels are the same
    // wherever the bands end.
    const int rows = canvas.Rows();
    const double edges = 64;
    std::vector<double> cost(size_t(rows) + 1, 0); // first as steps from the row above
    cost[0] = canvas.width / 8.0;
    for (const auto& entry : root.objects) {
        const timeline::DisplayObject& o = entry.second;
        double b[4];
        if (!o.visible || !DeviceBounds(o, view * Transform::From(o.matrix), 0, b)) {
            continue;
        }
        const double top = std::max(0.0, std::floor(b[1])),
                     bottom = std::min(double(rows), std::floor(b[3]) + 1);
        const double left = std::max(0.0, b[0]), right = std::min(double(canvas.width), b[2]);
        if (top < bottom && left < right) {
            cost[size_t(top)] += right - left + edges;
            cost[size_t(bottom)] -= right - left + edges;
        }
    }
    for (int y = 1; y <= rows; ++y) {
        cost[size_t(y)] += cost[size_t(y - 1)];
    }
    cost.pop_back();
    return cost;
}

void Renderer::Draw(const timeline::LoadedMovie& movie, const timeline::Clip& root,
                    const Canvas& canvas, const Transform& view, double scale,
                    const uint32_t* background) {
    if (movie_ != &movie) {
        Clear();
        movie_ = &movie;
    }
    StartFrame();
    shared_->bitmaps.NextFrame();
    scale_ = scale;
    view_ = view;
    const uint64_t budget = std::max(kDrawBudget, kDrawBudgetPerPixel * uint64_t(canvas.width) *
                                                      uint64_t(canvas.height));
    const int bands = BandsFor(root, canvas);
    if (bands <= 1) {
        DrawRows(root, canvas, view, scale, budget, background);
        return;
    }
    if (!pool_) {
        pool_.reset(new BandPool);
    }
    pool_->SetThreads(threads_);
    while (int(walkers_.size()) + 1 < pool_->Threads()) {
        walkers_.emplace_back(new Renderer(shared_));
    }
    // The outlines of the shapes the frame shows are built first, shared out among the
    // threads: bands walking the list side by side would otherwise wait on each other's.
    // Once a frame has built none (shapes that only move and turn), looking them all up
    // first costs more than it saves, until a frame builds some again.
    if (shared_->built != 0) {
        shared_->built = 0;
        const int tasks = 4 * pool_->Threads(); // each the list's every tasks-th object
        pool_->Run(tasks, [&](int worker, int task) {
            Renderer& w = worker == 0 ? *this : *walkers_[size_t(worker - 1)];
            w.context_.stageScale = scale / 20;
            w.KeepShapes(root, view, canvas, 0, task, tasks);
        });
    }
    std::vector<char> cut(size_t(pool_->Threads()), 0);
    const std::vector<int> ends = SplitRows(RowCosts(root, canvas, view), bands, kMinBandRows);
    pool_->Run(bands, [&](int worker, int band) {
        Renderer& w = worker == 0 ? *this : *walkers_[size_t(worker - 1)];
        w.movie_ = movie_;
        w.stage_ = stage_;
        Canvas part = canvas;
        part.top = band == 0 ? 0 : ends[size_t(band - 1)];
        part.bottom = ends[size_t(band)];
        part.pixels = canvas.pixels + canvas.At(part.top);
        w.DrawRows(root, part, view, scale, budget, background);
        cut[size_t(worker)] |= w.cut_ ? 1 : 0;
    });
    cut_ = std::find(cut.begin(), cut.end(), 1) != cut.end();
}

void Renderer::DrawRows(const timeline::Clip& root, const Canvas& canvas, const Transform& view,
                        double scale, uint64_t budget, const uint32_t* background) {
    if (background != nullptr && canvas.pixels != nullptr && canvas.Rows() > 0) {
        // One row filled, then copied: the library's copy is wider than a loop of stores.
        uint32_t* first = canvas.pixels + canvas.At(canvas.top);
        std::fill_n(first, canvas.width, *background);
        for (int y = canvas.top + 1; y < canvas.Bottom(); ++y) {
            std::memcpy(canvas.pixels + canvas.At(y), first, size_t(canvas.width) * 4);
        }
    }
    scale_ = scale;
    view_ = view;
    context_.stageScale = scale / 20;
    ras_.ResetWork(budget);
    bufferBytes_ = 0;
    layers_ = 0;
    cut_ = false;
    DrawClip(root, view, swf::ColorTransform(), canvas, 0);
    cut_ = cut_ || ras_.Spent();
}

bool Renderer::Reserve(size_t bytes) {
    if (bytes > kMaxBufferBytes - bufferBytes_) {
        cut_ = true;
        return false;
    }
    bufferBytes_ += bytes;
    return true;
}

void Renderer::DrawObjectOnto(const timeline::LoadedMovie& movie, const timeline::DisplayObject& o,
                              const Canvas& canvas, const Transform& m,
                              const swf::ColorTransform& cx) {
    if (movie_ != &movie) {
        Clear();
        movie_ = &movie;
    }
    StartFrame();
    scale_ = m.Scale() * 20;
    view_ = m;
    context_.stageScale = m.Scale();
    DrawCharacter(o, m, cx, canvas, 0);
}

void Renderer::DrawClip(const timeline::Clip& clip, const Transform& m,
                        const swf::ColorTransform& cx, const Canvas& canvas, int nesting) {
    if (nesting > kMaxDrawNesting) {
        return;
    }
    if (clip.drawing) {
        DrawDrawing(*clip.drawing, m, cx, canvas);
    }
    std::vector<ActiveMask> masks;
    masks.reserve(kMaxActiveMasks);
    for (const auto& entry : clip.objects) {
        const timeline::DisplayObject& o = entry.second;
        while (!masks.empty() && o.depth > masks.back().clipDepth) {
            masks.pop_back();
        }
        if (ras_.Spent()) {
            break; // the frame's budget: the rest waits
        }
        if (!o.visible || o.isMask) {
            continue; // hidden by a script, or a script's mask
        }
        if (!masks.empty() && masks.back().coverage.empty()) {
            continue; // its mask found no room
        }
        Canvas c = canvas;
        if (!masks.empty()) {
            c.mask = masks.back().coverage.data();
        }
        if (o.clipDepth != 0) {
            if (canvas.coverage != nullptr || masks.size() >= kMaxActiveMasks) {
                continue; // a mask inside a mask's own drawing adds nothing
            }
            ActiveMask mask;
            mask.clipDepth = o.clipDepth;
            // Counted as the whole picture's mask, so every band decides alike.
            const size_t bytes = size_t(canvas.width) * canvas.height;
            if (!Reserve(bytes)) {
                masks.push_back(std::move(mask));
                continue;
            }
            mask.reserved = &bufferBytes_;
            mask.bytes = bytes;
            mask.coverage.assign(size_t(canvas.width) * canvas.Rows(), 0);
            Canvas mc = c;
            mc.pixels = nullptr;
            mc.coverage = mask.coverage.data();
            mc.stride = canvas.width;
            DrawObject(o, m, swf::ColorTransform(), mc, nesting);
            masks.push_back(std::move(mask));
            continue;
        }
        std::vector<uint8_t> scriptMask;
        const size_t maskBytes = size_t(canvas.width) * canvas.height;
        if (o.maskedBy != 0) {
            if (!Reserve(maskBytes)) {
                continue; // no room for its mask: hidden
            }
            if (ScriptMask(o, c, nesting, &scriptMask)) {
                c.mask = scriptMask.data();
            }
        }
        DrawObject(o, m, cx, c, nesting);
        if (o.maskedBy != 0) {
            bufferBytes_ -= maskBytes;
        }
    }
}

bool Renderer::ScriptMask(const timeline::DisplayObject& o, const Canvas& canvas, int nesting,
                          std::vector<uint8_t>* coverage) {
    const timeline::DisplayObject* mask = stage_ != nullptr ? stage_->Find(o.maskedBy) : nullptr;
    if (mask == nullptr || canvas.coverage != nullptr) {
        return false;
    }
    // The mask is drawn where it stands on the stage, wherever it sits in the tree.
    Transform parent;
    int n = 0;
    for (const timeline::DisplayObject* p = stage_->Find(mask->parentId);
         p != nullptr && p->id != timeline::kRootId && n < kMaxDrawNesting;
         p = stage_->Find(p->parentId), ++n) {
        parent = Transform::From(p->matrix) * parent;
    }
    coverage->assign(size_t(canvas.width) * canvas.Rows(), 0);
    Canvas mc = canvas;
    mc.pixels = nullptr;
    mc.coverage = coverage->data();
    mc.stride = canvas.width;
    DrawObject(*mask, view_ * parent, swf::ColorTransform(), mc, nesting);
    return true;
}

void Renderer::DrawObject(const timeline::DisplayObject& o, const Transform& parent,
                          const swf::ColorTransform& parentCx, const Canvas& canvas, int nesting) {
    const Transform m = parent * Transform::From(o.matrix);
    if (!Drawable(m)) {
        return;
    }
    const swf::ColorTransform cx = o.cxform.Then(parentCx);
    // A layer is drawn on its own, so that children erasing or setting alpha change only it.
    const bool direct = o.blend == swf::BlendMode::Normal && o.filters.empty();
    const size_t layerBytes = size_t(canvas.width) * canvas.height * 4;
    if (canvas.coverage != nullptr || direct || layers_ >= kMaxLayers || !Reserve(layerBytes)) {
        DrawCharacter(o, m, cx, canvas, nesting);
        return;
    }
    ++layers_;
    std::vector<uint32_t> pixels(size_t(canvas.width) * canvas.Rows(), 0);
    Canvas layer{pixels.data(), nullptr, canvas.width, canvas.height,
                 canvas.width,  nullptr, canvas.top,   canvas.Bottom()};
    // A filtered object is drawn with its bounds' corner moved to the nearest whole pixel,
    // as in the reference player, whose filter surfaces start on whole pixels.
    Transform placed = m;
    double b[4];
    if (!o.filters.empty() && DeviceBounds(o, m, 0, b)) {
        placed = Translate(std::floor(b[0] + 0.5) - b[0], std::floor(b[1] + 0.5) - b[1]) * m;
    }
    DrawCharacter(o, placed, cx, layer, nesting);
    PixelBox box = ContentBox(layer);
    ApplyFilters(o.filters, scale_, &layer, &box);
    if (!box.Empty()) {
        Composite(layer, box, o.blend, canvas);
    }
    --layers_;
    bufferBytes_ -= layerBytes;
}

bool Renderer::DeviceBounds(const timeline::DisplayObject& o, const Transform& m, int nesting,
                            double* box) const {
    const swf::Box b = timeline::ObjectBounds(o, m, nesting);
    box[0] = b.xMin;
    box[1] = b.yMin;
    box[2] = b.xMax;
    box[3] = b.yMax;
    return !b.empty;
}

void Renderer::DrawScale9(const timeline::DisplayObject& o, const Transform& m,
                          const swf::ColorTransform& cx, const Canvas& canvas, int nesting) {
    const swf::Box b = timeline::ObjectBounds(o, Transform(), nesting);
    const Transform own = Transform::From(o.matrix);
    const Scale9Map map(
        swf::Rect{int32_t(b.xMin), int32_t(b.xMax), int32_t(b.yMin), int32_t(b.yMax)}, o.scale9,
        std::hypot(own.a, own.b), std::hypot(own.c, own.d));
    for (const auto& entry : o.clip->objects) {
        const timeline::DisplayObject& c = entry.second;
        if (!c.visible || c.isMask || c.clipDepth != 0) {
            continue;
        }
        // Shapes warp; anything else is drawn as it stands.
        if (c.character == nullptr || c.character->kind != timeline::Kind::Shape) {
            DrawObject(c, m, cx, canvas, nesting);
            continue;
        }
        const swf::Shape warped = Scale9Shape(*c.character->shape, Transform::From(c.matrix), map);
        PreparedShape prepared;
        PrepareShape(warped, &prepared);
        DrawPrepared(prepared, m, c.cxform.Then(cx), canvas, nullptr, false);
    }
}

void Renderer::DrawDrawing(const timeline::Drawing& drawing, const Transform& m,
                           const swf::ColorTransform& cx, const Canvas& canvas) {
    swf::Box b;
    b.AddRect(drawing.Bounds(), m);
    if (b.xMax < -2 || b.yMax < canvas.top - 2 || b.xMin > canvas.width + 2 ||
        b.yMin > canvas.Bottom() + 2) {
        return;
    }
    PreparedDrawing* cache;
    {
        // The drawing builds its shape when first asked, and every band asks.
        std::lock_guard<std::mutex> hold(shared_->lock);
        const swf::Shape* shape = drawing.Shape();
        if (shape == nullptr) {
            return;
        }
        // Kept in the drawing's own slot, so it goes when the drawing goes and a rebuilt
        // drawing never meets a shape prepared from its old edges.
        std::unique_ptr<timeline::DrawingCache>& slot = drawing.RenderCache();
        cache = static_cast<PreparedDrawing*>(slot.get()); // only a renderer fills the slot
        if (cache == nullptr) {
            cache = new PreparedDrawing;
            slot.reset(cache);
            PrepareShape(*shape, &cache->prepared);
        } else if (cache->generation != drawing.Generation() || cache->prepared.source != shape) {
            PrepareShape(*shape, &cache->prepared);
        }
        cache->generation = drawing.Generation();
    }
    // Not kept: a drawing redrawn in place would meet the outlines of its old edges.
    DrawPrepared(cache->prepared, m, cx, canvas, nullptr, false);
}

void Renderer::FillRect(const swf::Rect& r, const Transform& m, const Paint& paint,
                        const Canvas& canvas) {
    double xy[8];
    m.Apply(r.xMin, r.yMin, &xy[0], &xy[1]);
    m.Apply(r.xMax, r.yMin, &xy[2], &xy[3]);
    m.Apply(r.xMax, r.yMax, &xy[4], &xy[5]);
    m.Apply(r.xMin, r.yMax, &xy[6], &xy[7]);
    ras_.Begin(canvas, true);
    ras_.Polygon(xy, 4);
    ras_.Fill(canvas, paint);
}

void Renderer::DrawCharacter(const timeline::DisplayObject& o, const Transform& m,
                             const swf::ColorTransform& cx, const Canvas& canvas, int nesting) {
    const timeline::Character* ch = o.character;
    if (ch == nullptr || (canvas.coverage == nullptr && cx.mulA <= 0 && cx.addA <= 0)) {
        return; // nothing, or wholly transparent
    }
    // Leaves wholly off the canvas cost nothing.
    double b[4];
    if (ch->kind != timeline::Kind::Sprite && ch->kind != timeline::Kind::Button &&
        DeviceBounds(o, m, 0, b) && OffCanvas(b, canvas)) {
        return;
    }
    switch (ch->kind) {
    case timeline::Kind::Shape:
        DrawPrepared(Prepared(ch->shape.get()), m, cx, canvas);
        break;
    case timeline::Kind::Morph: {
        DrawPrepared(Morph(ch->morph.get(), o.ratio), m, cx, canvas);
        break;
    }
    case timeline::Kind::Bitmap: {
        const swf::Bitmap& b = *ch->bitmap;
        if (b.width <= 0 || b.height <= 0) {
            break; // disposed
        }
        swf::FillStyle fill;
        fill.kind = swf::FillKind::Bitmap;
        fill.bitmapId = ch->id;
        fill.repeat = false;
        fill.smooth = ch->smooth;
        fill.matrix.scaleX = fill.matrix.scaleY = 20 << 16;
        Paint paint;
        // A script's bitmap holds its pixels; the movie's are decoded when drawn.
        const swf::Bitmap* pixels = ch->bitmapSource ? context_.bitmaps(ch->id) : &b;
        if (MakePaint(fill, m, cx, pixels, &paint)) {
            FillRect(swf::Rect{0, b.width * 20, 0, b.height * 20}, m, paint, canvas);
        }
        break;
    }
    case timeline::Kind::Video:
        DrawVideo(o, m, cx, canvas);
        break;
    case timeline::Kind::Text:
        DrawStaticText(*ch->text, m, cx, canvas);
        break;
    case timeline::Kind::EditText:
        DrawEditText(*ch->editText, o, m, cx, canvas);
        break;
    case timeline::Kind::Sprite:
    case timeline::Kind::Button:
        if (o.clip && o.hasScale9) {
            DrawScale9(o, m, cx, canvas, nesting + 1);
        } else if (o.clip) {
            DrawClip(*o.clip, m, cx, canvas, nesting + 1);
        }
        break;
    case timeline::Kind::Font:
        break;
    }
}

} // namespace render
