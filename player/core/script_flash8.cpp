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
    const avm1::ClipId made = bitmap.pixels ? bitmaps_.Attach(parent, bitmap, depth, smooth) : 0;
    touched_ = touched_ || made != 0;
    return made;
}
bool ScriptHost::LoadBitmap(const std::string& name, render::ScriptBitmap* out) {
    return ScriptBitmaps::Copy(movie_->dictionary.Exported(name), render::kFlash8Bitmaps, out);
}
void ScriptHost::DrawOnto(avm1::ClipId source, render::ScriptBitmap* target, const swf::Affine& m,
                          const swf::ColorTransform& cx, const render::IntRect& clip, bool) {
    bitmaps_.DrawOnto(source, target, m, cx, clip);
}
} // namespace engine
