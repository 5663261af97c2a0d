// The one door between scripts and the display list. The engine's facade implements it
// over its timeline objects; tests implement it with a small fake. Display objects are
// named by ids the implementer hands out (0 = none); an id is never reused while the Vm
// might hold it (the facade calls Vm::OnClipRemoved when one goes away).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/core/avm1/value.h"
#include "player/core/render/bitmap_ops.h"
#include "player/core/render/text_layout.h"
#include "player/core/swf/display_tags.h"
#include "player/core/timeline/drawing.h"
#include "player/core/timeline/text_field.h"

namespace avm1 {

using ClipId = uint32_t;

// Display properties in the order of the GetProperty/SetProperty action index.
enum class DisplayProp : uint8_t {
    X,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality,
    FocusRect,
    SoundBufTime,
    Quality,
    XMouse,
    YMouse,
    Depth, // not an action index: getDepth()
    Count
};

enum class Navigation : uint8_t { Play, Stop, NextFrame, PrevFrame, GotoFrame, GotoLabel };

struct Bounds {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Multipliers in percent and offsets in 0..255 units, as Color.setTransform takes them.
struct ColorTransform {
    double ra = 100, rb = 0, ga = 100, gb = 0, ba = 100, bb = 0, aa = 100, ab = 0;
};

// One drawing-API call, as the timeline keeps it.
using DrawCommand = timeline::DrawOp;

enum class DisplayKind : uint8_t { None, Clip, Text, Other, Video, Button };

using TextMetrics = render::FieldMetrics;

class DisplayBridge {
  public:
    virtual ~DisplayBridge() = default;

    virtual ClipId Root() = 0;
    virtual ClipId Parent(ClipId clip) = 0;
    virtual DisplayKind KindOf(ClipId clip) = 0;
    // A child by instance name (case-insensitive below version 7).
    virtual ClipId Child(ClipId parent, const std::string& name, bool caseSensitive) = 0;
    virtual ClipId ChildAtDepth(ClipId parent, int depth) = 0; // script depth

    // Numbers for the numeric properties, strings for _name, _target, _url, _droptarget.
    virtual Value Get(ClipId clip, DisplayProp prop) = 0;
    virtual void Set(ClipId clip, DisplayProp prop, const Value& value) = 0;

    virtual void Navigate(ClipId clip, Navigation nav, int frame, const std::string& label) = 0;

    // Each returns the new clip or 0; an existing object at the depth is replaced.
    virtual ClipId Duplicate(ClipId clip, const std::string& name, int depth) = 0;
    virtual ClipId Attach(ClipId parent, const std::string& exportName, const std::string& name,
                          int depth) = 0;
    virtual ClipId CreateEmpty(ClipId parent, const std::string& name, int depth) = 0;
    virtual ClipId CreateText(ClipId parent, const std::string& name, int depth,
                              const Bounds& box) = 0;
    virtual bool Remove(ClipId clip) = 0;
    virtual void SwapDepths(ClipId clip, int depth) = 0;
    virtual int NextHighestDepth(ClipId clip) = 0;

    // Bounds of clip in the coordinate space of `space` (0 = the stage).
    virtual Bounds GetBounds(ClipId clip, ClipId space) = 0;
    virtual bool HitTestPoint(ClipId clip, double x, double y, bool shape) = 0;
    // Moves a point between clip's space and the stage (toStage) or back.
    virtual void Transform(ClipId clip, double& x, double& y, bool toStage) = 0;

    virtual void Draw(ClipId clip, const DrawCommand& command) = 0;
    virtual void SetMask(ClipId clip, ClipId mask) = 0;
    virtual ColorTransform GetColor(ClipId clip) = 0;
    virtual void SetColor(ClipId clip, const ColorTransform& color) = 0;

    // A text field's state, read and changed in place by the TextField library (null when
    // `field` is not one); after a change the library calls TextFieldChanged, so the field's
    // box follows autoSize and its bound variable its text.
    virtual timeline::TextFieldState* TextField(ClipId field) = 0;
    virtual void TextFieldChanged(ClipId field, bool textChanged) = 0;
    // Lays out a field's state (on stage or not) with the movie's fonts.
    virtual TextMetrics MeasureField(const timeline::TextFieldState& field) = 0;
    // The characters of each static text a clip shows itself, in depth order; false when
    // it has none to give (it gave them to a copy of it).
    virtual bool StaticTexts(ClipId, std::vector<std::u32string>*) { return false; }

    virtual void StageSize(double& width, double& height) = 0;

    // ---- Flash 8 (a display without them answers as an empty stage) ----
    // The matrix in pixels (tx, ty) and 16.16 scales as Flash keeps them.
    virtual bool GetMatrix(ClipId, swf::Affine*) { return false; }
    virtual void SetMatrix(ClipId, const swf::Affine&) {}
    virtual std::vector<swf::Filter> GetFilters(ClipId) { return {}; }
    virtual void SetFilters(ClipId, const std::vector<swf::Filter>&) {}
    virtual swf::BlendMode GetBlendMode(ClipId) { return swf::BlendMode::Normal; }
    virtual void SetBlendMode(ClipId, swf::BlendMode) {}
    // scale9Grid in pixels of the clip's space; null clears it. False: none set.
    virtual bool GetScale9(ClipId, Bounds*) { return false; }
    virtual void SetScale9(ClipId, const Bounds*) {}
    // Shows a script's bitmap as a new child at `depth` (script depth); 0 when not made.
    virtual ClipId AttachBitmap(ClipId, const render::ScriptBitmap&, int, bool) { return 0; }
    // A copy of the bitmap exported under `name` (BitmapData.loadBitmap); false if none.
    virtual bool LoadBitmap(const std::string&, render::ScriptBitmap*) { return false; }
    // Draws `source` onto the bitmap: `m` maps its own space (pixels) onto the bitmap's,
    // through the colour transform, within `clip` (bitmap pixels).
    virtual void DrawOnto(ClipId, render::ScriptBitmap*, const swf::Affine&,
                          const swf::ColorTransform&, const render::IntRect&, bool) {}

    // A Video object's own state: smoothing (boolean), deblocking (number), the decoded
    // picture's width and height (read only); setting Cleared empties it until the next frame.
    enum class VideoProp : uint8_t { Smoothing, Deblocking, Width, Height, Cleared };
    virtual Value GetVideoProp(ClipId, VideoProp) { return Value(); }
    virtual void SetVideoProp(ClipId, VideoProp, const Value&) {}
};

} // namespace avm1
