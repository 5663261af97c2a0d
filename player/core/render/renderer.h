// Draws a stage's display list: walks the clips by depth with their transforms and
// colour transforms, applies clip-depth masks, draws what scripts drew under each clip's
// objects, shapes, morphs, bitmaps, text and edit text, and sends objects with a blend mode
// or filters through a layer. Prepared shapes are kept per character between frames. A
// frame may be drawn in bands of rows by several threads, each walking the whole list for
// its rows; the pixels are the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "player/core/render/band_pool.h"
#include "player/core/render/bitmap_cache.h"
#include "player/core/render/paint.h"
#include "player/core/render/rasterizer.h"
#include "player/core/render/shape_draw.h"
#include "player/core/render/text_layout.h"
#include "player/core/timeline/display_list.h"

namespace render {

// Outlines of a font the movie does not embed, from the host: one glyph as edges in
// 1024ths of the em (y down, origin on the baseline) and its advance. False when the host
// has no glyph for the character.
struct DeviceGlyph {
    std::vector<swf::Edge> edges; // fill1 = 1 on the inside
    int32_t advance = 0;
};
struct DeviceFontMetrics {
    int32_t ascent = 0, descent = 0; // 1024ths of the em
};
using DeviceGlyphSource =
    std::function<bool(const char* font, bool bold, bool italic, uint32_t code, DeviceGlyph* out)>;

// Drawing one frame may cost at most this much rasterizer work (pixels filled, segments and
// the pixels they cross: see Rasterizer::Work), or eight times the canvas if that is more:
// objects beyond it are not drawn in that frame, so a movie asking for too much draws
// partly instead of hanging its host. A band of rows counts its work as the whole picture's
// (see Rasterizer::Work), so it stops near where one thread drawing the frame would.
const uint64_t kDrawBudget = uint64_t(1) << 25;
const uint64_t kDrawBudgetPerPixel = 8;
// Mask coverage and layers alive at once while a frame is drawn.
const size_t kMaxBufferBytes = size_t(128) << 20;
// Shapes' outlines kept between frames (those of the last frame drawn); past it, outlines
// are built for each draw.
const size_t kMaxPathBytes = size_t(64) << 20;

class Renderer {
  public:
    Renderer();
    ~Renderer();

    // `view` maps stage twips to canvas pixels; `scale` is its size factor (pixels per
    // stage pixel), for filters and hairlines. With `background`, the canvas is first filled
    // with that pixel (each band its own rows), else drawn over as it is.
    void Draw(const timeline::LoadedMovie& movie, const timeline::Clip& root, const Canvas& canvas,
              const Transform& view, double scale, const uint32_t* background = nullptr);
    // One object's contents without its own placement, colours or filters
    // (BitmapData.draw): `m` maps its space (twips) onto the canvas.
    void DrawObjectOnto(const timeline::LoadedMovie& movie, const timeline::DisplayObject& o,
                        const Canvas& canvas, const Transform& m, const swf::ColorTransform& cx);
    // Where objects masked by a script find their mask (by id); none: drawn unmasked.
    void SetStage(const timeline::Stage* stage) { stage_ = stage; }
    void SetDeviceGlyphs(DeviceGlyphSource source, DeviceFontMetrics metrics);
    // Forgets prepared shapes (a new movie).
    void Clear();
    // The last Draw stopped at its budget (kDrawBudget, kMaxBufferBytes).
    bool WasCut() const { return cut_; }
    // Threads drawing each frame (1 to kMaxDrawThreads), made when a frame first needs them.
    void SetThreads(int count);

  private:
    // What every band's walk shares: prepared shapes and decoded pictures, filled as they
    // are first needed, under one lock. Nothing is let go while a frame is drawn.
    struct Shared;
    explicit Renderer(Shared* shared); // one more thread's walker
    // The serial start of a frame (or of a drawing into a bitmap): morphs and outlines not
    // used in the last one are let go.
    void StartFrame();
    // Draws the canvas's rows with this walker's budget share.
    void DrawRows(const timeline::Clip& root, const Canvas& canvas, const Transform& view,
                  double scale, uint64_t budget, const uint32_t* background);
    // How many bands a frame is cut into: 1 for one thread, or when an object's filters
    // reach across rows.
    int BandsFor(const timeline::Clip& root, const Canvas& canvas) const;
    // The canvas's rows' estimated drawing work, for where bands end.
    std::vector<double> RowCosts(const timeline::Clip& root, const Canvas& canvas,
                                 const Transform& view) const;
    struct ActiveMask;
    void DrawClip(const timeline::Clip& clip, const Transform& m, const swf::ColorTransform& cx,
                  const Canvas& canvas, int nesting);
    void DrawObject(const timeline::DisplayObject& o, const Transform& parent,
                    const swf::ColorTransform& parentCx, const Canvas& canvas, int nesting);
    void DrawCharacter(const timeline::DisplayObject& o, const Transform& m,
                       const swf::ColorTransform& cx, const Canvas& canvas, int nesting);
    // A clip with a scale9Grid: its shapes warped so their corners keep their size.
    void DrawScale9(const timeline::DisplayObject& o, const Transform& m,
                    const swf::ColorTransform& cx, const Canvas& canvas, int nesting);
    // A script's drawing, under its clip's objects.
    void DrawDrawing(const timeline::Drawing& drawing, const Transform& m,
                     const swf::ColorTransform& cx, const Canvas& canvas);
    // The picture of the frame the video's ratio names, scaled to the stream's size.
    void DrawVideo(const timeline::DisplayObject& o, const Transform& m,
                   const swf::ColorTransform& cx, const Canvas& canvas);
    void DrawStaticText(const swf::StaticText& text, const Transform& m,
                        const swf::ColorTransform& cx, const Canvas& canvas);
    // `field` carries the text shown now and the frame's look.
    void DrawEditText(const swf::EditText& text, const timeline::DisplayObject& field,
                      const Transform& m, const swf::ColorTransform& cx, const Canvas& canvas);
    void DrawFieldFrame(const timeline::TextFieldState& field, const swf::Rect& box,
                        const Transform& m, const swf::ColorTransform& cx, const Canvas& canvas);
    // A canvas over the pixels of a box seen through `m`, masked to the box (and to any
    // mask already in force); `shift` moves canvas coordinates onto it.
    struct BoxClip {
        Canvas canvas;
        Transform shift;
        std::vector<uint8_t> mask;
    };
    bool ClipToBox(const swf::Rect& box, const Transform& m, const Canvas& canvas, BoxClip* out);
    // A host glyph with its shape prepared beside it (not among the prepared shapes, which
    // are keyed by address: forgotten glyphs would leave stale keys there). Null when the
    // host has none.
    struct DeviceGlyphShape {
        swf::Shape shape;
        PreparedShape prepared; // points into `shape`
        int32_t advance = 0;    // 1024ths of the em
    };
    const DeviceGlyphShape* DeviceGlyphFor(const TextStyle& style, uint32_t code);
    const PreparedShape& Prepared(const swf::Shape* shape);
    // An object's bounds on the canvas as left, top, right, bottom; false when it has none.
    bool DeviceBounds(const timeline::DisplayObject& o, const Transform& m, int nesting,
                      double* box) const;
    void FillRect(const swf::Rect& r, const Transform& m, const Paint& paint, const Canvas& canvas);

    // The coverage of a script mask (setMask), combined with the mask already active.
    bool ScriptMask(const timeline::DisplayObject& o, const Canvas& canvas, int nesting,
                    std::vector<uint8_t>* coverage);

    const timeline::LoadedMovie* movie_ = nullptr;
    const timeline::Stage* stage_ = nullptr;
    Transform view_;
    double scale_ = 1;
    int layers_ = 0;         // layers open while drawing
    size_t bufferBytes_ = 0; // mask coverage and layers alive now
    bool cut_ = false;
    // Reserves a frame buffer's bytes; false when it would pass kMaxBufferBytes.
    bool Reserve(size_t bytes);
    const PreparedShape& Morph(const swf::MorphShape* morph, uint16_t ratio);
    // Draws a prepared shape from its outlines at this scale, rotation and skew: kept
    // between frames when `keep` (the prepared shape lives in a cache), else built here.
    void DrawPrepared(const PreparedShape& shape, const Transform& m, const swf::ColorTransform& cx,
                      const Canvas& canvas, const Paint* solid = nullptr, bool keep = true);
    // The kept outlines of a shape at this scale, rotation and skew, built if not yet there;
    // null when there is no room to keep them.
    const ShapePaths* KeptPaths(const PreparedShape& shape, const Transform& m);
    // Builds the kept outlines of the shapes under `clip` that the canvas shows (those in
    // sprites too; not masks, nor what a scale9Grid warps): of the clip's own objects, those
    // whose place in its list is `task` modulo `tasks`.
    void KeepShapes(const timeline::Clip& clip, const Transform& m, const Canvas& canvas,
                    int nesting, int task, int tasks);
    ShapePaths scratch_;
    Rasterizer ras_;
    ShapeContext context_;
    RampCache ramps_;             // this walker's gradient ramps (context_ points here)
    std::unique_ptr<Shared> own_; // the first walker's; the others point at it
    Shared* shared_ = nullptr;
    int threads_ = 1;
    std::unique_ptr<BandPool> pool_;
    std::vector<std::unique_ptr<Renderer>> walkers_; // for the pool's threads past the first
};

struct Renderer::Shared {
    std::mutex lock;
    std::map<const swf::Shape*, PreparedShape> prepared;
    struct MorphCache {
        std::unique_ptr<swf::Shape> shape;
        PreparedShape prepared;
        uint64_t used = 0; // the frame that last drew it
    };
    // By morph and ratio: one morph shown at two ratios in a frame keeps both.
    std::map<std::pair<const swf::MorphShape*, uint16_t>, MorphCache> morphs;
    std::map<std::pair<std::string, uint64_t>, std::unique_ptr<DeviceGlyphShape>> deviceGlyphs;
    DeviceGlyphSource deviceSource;
    DeviceFontMetrics deviceMetrics;
    BitmapCache bitmaps;
    // Outlines by prepared shape and the bits of the transform's linear part and the
    // stage's scale (for lines that keep their width).
    struct PathKey {
        const PreparedShape* shape;
        uint64_t bits[5];
        bool operator<(const PathKey& o) const;
    };
    struct PathEntry {
        std::mutex lock; // held while one thread builds the outlines
        bool built = false;
        ShapePaths paths;
        size_t bytes = 0;
        uint64_t used = 0;
    };
    std::map<PathKey, std::unique_ptr<PathEntry>> paths;
    size_t pathBytes = 0;
    uint64_t built = 1; // outlines built since the shapes were last built ahead of a frame
    void ClearPaths() {
        paths.clear();
        pathBytes = 0;
        built = 1;
    }
    uint64_t frame = 0;
};

} // namespace render
