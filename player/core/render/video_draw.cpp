// Drawing a placed video: the picture the decoder gives for its ratio, stretched over the
// box the stream declares, smoothed when the stream or a script asks.
#include "player/core/render/renderer.h"

namespace render {

void Renderer::DrawVideo(const timeline::DisplayObject& o, const Transform& m,
                         const swf::ColorTransform& cx, const Canvas& canvas) {
    const swf::VideoStream& def = o.character->video->def;
    const swf::Bitmap* picture = o.video ? o.video->Show(o.ratio) : nullptr;
    if (picture == nullptr || picture->width <= 0 || picture->height <= 0 || def.width == 0 ||
        def.height == 0) {
        return;
    }
    swf::FillStyle fill;
    fill.kind = swf::FillKind::Bitmap;
    fill.repeat = false;
    fill.smooth = o.video->smoothing >= 0 ? o.video->smoothing != 0 : def.smoothing;
    fill.matrix.scaleX = static_cast<int32_t>(int64_t(def.width) * 20 * 65536 / picture->width);
    fill.matrix.scaleY = static_cast<int32_t>(int64_t(def.height) * 20 * 65536 / picture->height);
    Paint paint;
    if (MakePaint(fill, m, cx, picture, &paint)) {
        FillRect(swf::Rect{0, def.width * 20, 0, def.height * 20}, m, paint, canvas);
    }
}

} // namespace render
