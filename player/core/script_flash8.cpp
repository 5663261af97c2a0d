// The bridge's Flash 8 part: matrices, filters and blend modes scripts set on clips,
// bitmaps they attach or load, and clips drawn into bitmaps (BitmapData.draw).
#include <algorithm>
#include <cmath>

#include "player/core/render/renderer.h"
#include "player/core/script_host.h"
#include "player/core/script_transform.h"

namespace engine {

namespace {

// The most bitmaps scripts may attach over a movie's life; each is one character.
const size_t kMaxScriptBitmaps = 4096;

} // namespace

bool ScriptHost::GetMatrix(avm1::ClipId clip, swf::Affine* m) {
    const timeline::DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return false;
    }
    *m = swf::Affine::From(o->matrix);
    m->tx /= 20;
    m->ty /= 20;
    return true;
}

void ScriptHost::SetMatrix(avm1::ClipId clip, const swf::Affine& m) {
    timeline::DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return;
    }
    o->matrix.scaleX = Fixed(m.a);
    o->matrix.rotateSkew0 = Fixed(m.b);
    o->matrix.rotateSkew1 = Fixed(m.c);
    o->matrix.scaleY = Fixed(m.d);
    o->matrix.translateX = Twips(m.tx);
    o->matrix.translateY = Twips(m.ty);
    o->decomposed = false;
    o->scripted = true;
    touched_ = true;
}

bool ScriptHost::GetScale9(avm1::ClipId clip, avm1::Bounds* grid) {
    const timeline::DisplayObject* o = stage_->Find(clip);
    if (o == nullptr || !o->hasScale9) {
        return false;
    }
    *grid = avm1::Bounds{o->scale9.xMin / 20.0, o->scale9.yMin / 20.0, o->scale9.xMax / 20.0,
                         o->scale9.yMax / 20.0};
    return true;
}

void ScriptHost::SetScale9(avm1::ClipId clip, const avm1::Bounds* grid) {
    timeline::DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return;
    }
    o->hasScale9 = grid != nullptr && grid->xMax > grid->xMin && grid->yMax > grid->yMin;
    if (o->hasScale9) {
        o->scale9 =
            swf::Rect{Twips(grid->xMin), Twips(grid->xMax), Twips(grid->yMin), Twips(grid->yMax)};
    }
    touched_ = true;
}

std::vector<swf::Filter> ScriptHost::GetFilters(avm1::ClipId clip) {
    const timeline::DisplayObject* o = stage_->Find(clip);
    return o != nullptr ? o->filters : std::vector<swf::Filter>();
}

void ScriptHost::SetFilters(avm1::ClipId clip, const std::vector<swf::Filter>& filters) {
    if (timeline::DisplayObject* o = stage_->Find(clip)) {
        o->filters = filters;
        o->scripted = true;
        touched_ = true;
    }
}

swf::BlendMode ScriptHost::GetBlendMode(avm1::ClipId clip) {
    const timeline::DisplayObject* o = stage_->Find(clip);
    return o != nullptr ? o->blend : swf::BlendMode::Normal;
}

void ScriptHost::SetBlendMode(avm1::ClipId clip, swf::BlendMode mode) {
    if (timeline::DisplayObject* o = stage_->Find(clip)) {
        o->blend = mode;
        o->scripted = true;
        touched_ = true;
    }
}

avm1::ClipId ScriptHost::AttachBitmap(avm1::ClipId parent, const render::ScriptBitmap& bitmap,
                                      int depth, bool smooth) {
    if (!bitmap.pixels || scriptBitmaps_.size() >= kMaxScriptBitmaps) {
        return 0;
    }
    auto ch = std::make_unique<timeline::Character>();
    ch->kind = timeline::Kind::Bitmap;
    ch->bitmap = bitmap.pixels; // shared: what the script draws shows at once
    ch->smooth = smooth;
    const avm1::ClipId made = stage_->Place(parent, ch.get(), "", depth);
    if (made != 0) {
        scriptBitmaps_.push_back(std::move(ch));
        touched_ = true;
    }
    return made;
}

bool ScriptHost::LoadBitmap(const std::string& name, render::ScriptBitmap* out) {
    const timeline::Character* c = movie_->dictionary.Exported(name);
    if (c == nullptr || c->kind != timeline::Kind::Bitmap || !c->bitmap ||
        !render::ScriptBitmapSizeAllowed(c->bitmap->width, c->bitmap->height)) {
        return false;
    }
    // The movie's bitmaps are decoded when first drawn: this copy decodes its own.
    auto pixels = std::make_shared<swf::Bitmap>(*c->bitmap);
    if (c->bitmapSource && !swf::DecodeBitmap(*c->bitmapSource, pixels.get())) {
        return false;
    }
    out->pixels = pixels;
    out->transparent = true;
    return true;
}

void ScriptHost::DrawOnto(avm1::ClipId source, render::ScriptBitmap* target, const swf::Affine& m,
                          const swf::ColorTransform& cx, const render::IntRect& clip, bool) {
    const timeline::DisplayObject* o = stage_->Find(source);
    if (o == nullptr || target == nullptr || !target->pixels) {
        return;
    }
    render::Transform shift;
    const render::Canvas canvas = render::CanvasOver(target, clip, &shift);
    if (canvas.pixels == nullptr) {
        return;
    }
    if (!offscreen_) {
        offscreen_ = std::make_shared<render::Renderer>();
        offscreen_->SetStage(stage_);
    }
    // The clip's own space is in twips; the matrix works in pixels.
    swf::Affine toPixels;
    toPixels.a = toPixels.d = 1.0 / 20;
    offscreen_->DrawObjectOnto(*movie_, *o, canvas, shift * m * toPixels, cx);
    if (!target->transparent) {
        for (uint32_t& p : target->pixels->pixels) {
            p |= 0xFF000000u;
        }
    }
}

} // namespace engine
