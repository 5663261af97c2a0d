#include "player/core/script_bitmaps.h"

namespace engine {

namespace {
// Characters made for shown bitmaps, per movie: each is small, the pixels are shared.
const size_t kMaxShown = 4096;
} // namespace

uint32_t ScriptBitmaps::Attach(uint32_t parent, const render::ScriptBitmap& bitmap, int depth,
                               bool smooth) {
    if (shown_.size() >= kMaxShown)
        return 0;
    auto ch = std::make_unique<timeline::Character>();
    ch->kind = timeline::Kind::Bitmap;
    // One with no pixels yet shows nothing until it is given some.
    ch->bitmap = bitmap.pixels ? bitmap.pixels : std::make_shared<swf::Bitmap>();
    ch->smooth = smooth;
    const uint32_t made = stage_->Place(parent, ch.get(), "", depth);
    if (made != 0)
        shown_.push_back(std::move(ch));
    return made;
}

bool ScriptBitmaps::Show(uint32_t id, const render::ScriptBitmap& bitmap, bool smooth) {
    const timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr || !bitmap.pixels)
        return false;
    for (const auto& ch : shown_)
        if (ch.get() == o->character) {
            ch->bitmap = bitmap.pixels;
            ch->smooth = smooth;
            return true;
        }
    return false;
}

bool ScriptBitmaps::Copy(const timeline::Character* c, const render::BitmapLimits& limits,
                         render::ScriptBitmap* out) {
    if (c == nullptr || c->kind != timeline::Kind::Bitmap || !c->bitmap ||
        !render::ScriptBitmapSizeAllowed(c->bitmap->width, c->bitmap->height, limits))
        return false;
    // The movie's bitmaps are decoded when first drawn: this copy decodes its own.
    auto pixels = std::make_shared<swf::Bitmap>(*c->bitmap);
    if (c->bitmapSource && !swf::DecodeBitmap(*c->bitmapSource, pixels.get()))
        return false;
    out->pixels = pixels;
    out->transparent = true;
    return true;
}

void ScriptBitmaps::DrawOnto(uint32_t source, render::ScriptBitmap* target, const swf::Affine& m,
                             const swf::ColorTransform& cx, const render::IntRect& clip) {
    const timeline::DisplayObject* o = stage_->Find(source);
    if (o == nullptr || target == nullptr || !target->pixels)
        return;
    render::Transform shift;
    const render::Canvas canvas = render::CanvasOver(target, clip, &shift);
    if (canvas.pixels == nullptr)
        return;
    if (!offscreen_) {
        offscreen_ = std::make_shared<render::Renderer>();
        offscreen_->SetStage(stage_);
    }
    // The object's own space is in twips; the matrix works in pixels.
    swf::Affine toPixels;
    toPixels.a = toPixels.d = 1.0 / 20;
    offscreen_->DrawObjectOnto(*movie_, *o, canvas, shift * m * toPixels, cx);
    if (!target->transparent)
        for (uint32_t& p : target->pixels->pixels)
            p |= 0xFF000000u;
}

} // namespace engine
