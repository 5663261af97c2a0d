// The control tags that change a timeline's display list (PlaceObject 1-3, RemoveObject
// 1-2) read into plain data, with the filters and blend modes PlaceObject3 carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/core/swf/bitmaps.h"
#include "player/core/swf/records.h"

namespace swf {

const uint32_t kMaxFilters = 16;

enum class FilterKind : uint8_t {
    DropShadow,
    Blur,
    Glow,
    Bevel,
    GradientGlow,
    Convolution,
    ColorMatrix,
    GradientBevel,
    DisplacementMap // scripts only: no tag carries it
};

struct Filter {
    FilterKind kind = FilterKind::Blur;
    float blurX = 4, blurY = 4; // pixels
    float angle = 0, distance = 0, strength = 1;
    int passes = 1;
    Rgba color;
    bool inner = false, knockout = false, compositeSource = true;
    float matrix[20] = {};              // colour matrix
    Rgba highlight{255, 255, 255, 255}; // bevel
    bool onTop = false;                 // bevels: "full" when inner and outer both
    std::vector<GradientStop> stops;    // gradient glow and bevel
    // Convolution: a matrixX by matrixY kernel, row by row.
    int matrixX = 0, matrixY = 0;
    std::vector<float> kernel;
    float divisor = 1, bias = 0;
    bool clamp = true, preserveAlpha = true;
    Rgba fallback{0, 0, 0, 0}; // convolution and displacement: colour outside the source
    // Displacement map: the map's pixels (premultiplied), where it starts, which channel
    // moves x and y (1 red, 2 green, 4 blue, 8 alpha), how far, and what lies outside.
    std::shared_ptr<const Bitmap> map;
    int mapX = 0, mapY = 0, componentX = 0, componentY = 0;
    float scaleX = 0, scaleY = 0;
    enum class Edge : uint8_t { Wrap, Clamp, Ignore, Color } mode = Edge::Wrap;
};

enum class BlendMode : uint8_t {
    Normal = 0,
    Layer = 2,
    Multiply,
    Screen,
    Lighten,
    Darken,
    Difference,
    Add,
    Subtract,
    Invert,
    Alpha,
    Erase,
    Overlay,
    HardLight
};

struct PlaceObject {
    uint16_t depth = 0;
    bool move = false; // modifies what is at the depth
    bool hasCharacter = false, hasMatrix = false, hasCxform = false, hasRatio = false;
    bool hasName = false, hasClipDepth = false, hasFilters = false, hasBlend = false;
    uint16_t characterId = 0;
    Matrix matrix;
    ColorTransform cxform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    std::vector<Filter> filters;
    BlendMode blend = BlendMode::Normal;
    const uint8_t* clipActions = nullptr; // the CLIPACTIONS record, for the interpreter
    uint32_t clipActionsSize = 0;
};

// `version` 1, 2 or 3 from the tag code.
bool ReadPlaceObject(const Tag& tag, int version, PlaceObject* place);
// RemoveObject (1) or RemoveObject2 (2): the depth freed.
bool ReadRemoveObject(const Tag& tag, int version, uint16_t* depth);
bool ReadFilterList(ByteReader* r, std::vector<Filter>* filters);

} // namespace swf
