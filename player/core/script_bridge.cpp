// The display bridge over the stage: what scripts read and change on display objects,
// in script units (pixels, degrees, percent), and the objects they make.
#include "player/core/script_host.h"

#include <algorithm>
#include <cmath>

#include "player/core/render/paint.h"
#include "player/core/script_transform.h"
#include "player/core/swf/utf8.h"
#include "player/core/render/text_layout.h"
#include "player/core/timeline/bounds.h"

namespace engine {

namespace {

using avm1::ClipId;
using avm1::DisplayProp;
using avm1::Value;
using timeline::DisplayObject;
using Xform = render::Transform;

const double kPi = 3.14159265358979323846;

int16_t Clamp16(double v) {
    return int16_t(std::max(-32768.0, std::min(32767.0, std::round(v))));
}

// An object's bounds in twips of the space `m` maps its own space into; false when empty.
bool BoundsIn(const DisplayObject& o, const Xform& m, double* box, int nesting) {
    const swf::Box b = timeline::ObjectBounds(o, m, nesting);
    box[0] = b.xMin;
    box[1] = b.yMin;
    box[2] = b.xMax;
    box[3] = b.yMax;
    return !b.empty;
}

} // namespace

// ---- the bridge ----

ClipId ScriptHost::Parent(ClipId clip) {
    const DisplayObject* o = stage_->Find(clip);
    return o != nullptr ? o->parentId : 0;
}

avm1::DisplayKind ScriptHost::KindOf(ClipId clip) {
    const DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return avm1::DisplayKind::None;
    }
    if (clip == timeline::kRootId) {
        return avm1::DisplayKind::Clip;
    }
    if (o->character == nullptr) {
        return avm1::DisplayKind::Other;
    }
    switch (o->character->kind) {
    case timeline::Kind::Sprite:
        return avm1::DisplayKind::Clip;
    case timeline::Kind::EditText:
        return avm1::DisplayKind::Text;
    case timeline::Kind::Video:
        return avm1::DisplayKind::Video;
    case timeline::Kind::Button:
        return avm1::DisplayKind::Button;
    default:
        return avm1::DisplayKind::Other;
    }
}

ClipId ScriptHost::Child(ClipId parent, const std::string& name, bool caseSensitive) {
    const DisplayObject* o = stage_->Child(parent, name, caseSensitive);
    return o != nullptr ? o->id : 0;
}

ClipId ScriptHost::ChildAtDepth(ClipId parent, int depth) {
    timeline::Clip* clip = stage_->ClipOf(parent);
    const long d = long(depth) + timeline::kScriptDepthBase;
    if (clip == nullptr || d < 0 || d > 65535) {
        return 0;
    }
    auto it = clip->objects.find(uint16_t(d));
    if (it == clip->objects.end()) {
        return 0;
    }
    // What scripts cannot reach (a shape, static text) answers as its parent, as in Flash.
    const avm1::DisplayKind kind = KindOf(it->second.id);
    return kind == avm1::DisplayKind::Other || kind == avm1::DisplayKind::Button ? parent
                                                                                 : it->second.id;
}

void ScriptHost::Decompose(DisplayObject& o) {
    engine::Decompose(o);
}

void ScriptHost::Recompose(DisplayObject& o) {
    engine::Recompose(o);
    touched_ = true;
}

std::string ScriptHost::TargetOf(uint32_t id) {
    std::string path;
    for (const DisplayObject* o = stage_->Find(id); o != nullptr && o->id != timeline::kRootId;
         o = stage_->Find(o->parentId)) {
        path = "/" + o->name + path;
    }
    return path.empty() ? "/" : path;
}

namespace {
// A text field stands where its box starts: the box's corner counts in its _x and _y.
int32_t FieldOrigin(const DisplayObject& o, int axis) {
    if (!o.field) {
        return 0;
    }
    return axis == 0 ? o.field->bounds.xMin : o.field->bounds.yMin;
}
} // namespace

// A text field's _width and _height size its box, not its scale: the box takes the asked
// size divided by the field's own scale on that axis.
void ScriptHost::SetFieldSize(DisplayObject& o, bool width, double v) {
    Decompose(o);
    const double scale = std::fabs(width ? o.xScale : o.yScale) / 100;
    if (!(scale > 0) || !std::isfinite(v)) {
        return;
    }
    const double twips = std::max(0.0, std::min(std::round(v * 20 / scale), 1e7));
    swf::Rect& b = o.field->bounds;
    (width ? b.xMax : b.yMax) = (width ? b.xMin : b.yMin) + static_cast<int32_t>(twips);
    TextFieldChanged(o.id, false);
}

Value ScriptHost::Get(ClipId clip, DisplayProp prop) {
    DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return Value();
    }
    const timeline::Clip* c = o->clip.get();
    double box[4];
    switch (prop) {
    case DisplayProp::X:
        return Value::Num((o->matrix.translateX + FieldOrigin(*o, 0)) / 20.0);
    case DisplayProp::Y:
        return Value::Num((o->matrix.translateY + FieldOrigin(*o, 1)) / 20.0);
    case DisplayProp::XScale:
        Decompose(*o);
        return Value::Num(o->xScale);
    case DisplayProp::YScale:
        Decompose(*o);
        return Value::Num(o->yScale);
    case DisplayProp::Rotation:
        Decompose(*o);
        return Value::Num(o->rotation);
    case DisplayProp::CurrentFrame:
        return Value::Num(c != nullptr && c->timeline != nullptr ? c->frame + 1 : 1);
    case DisplayProp::TotalFrames:
    case DisplayProp::FramesLoaded:
        return Value::Num(c != nullptr && c->timeline != nullptr ? c->timeline->frameCount : 1);
    case DisplayProp::Alpha:
        return Value::Num(o->cxform.mulA * 100.0 / 256);
    case DisplayProp::Visible:
        return Value::Bool(o->visible);
    case DisplayProp::Width:
    case DisplayProp::Height:
        if (!BoundsIn(*o, Xform::From(o->matrix), box, 0)) {
            return Value::Num(0);
        }
        // Flash's box has whole twips at each edge.
        return Value::Num(prop == DisplayProp::Width
                              ? (std::round(box[2]) - std::round(box[0])) / 20
                              : (std::round(box[3]) - std::round(box[1])) / 20);
    case DisplayProp::Target:
        return Value::Str(TargetOf(clip));
    case DisplayProp::Name:
        return Value::Str(o->name);
    case DisplayProp::DropTarget:
    case DisplayProp::Url:
        return Value::Str("");
    case DisplayProp::HighQuality:
    case DisplayProp::FocusRect:
        return Value::Num(1);
    case DisplayProp::SoundBufTime:
        return Value::Num(5);
    case DisplayProp::Quality:
        return Value::Str("HIGH");
    case DisplayProp::XMouse:
    case DisplayProp::YMouse:
        return Value::Num(0);
    case DisplayProp::Depth:
        return Value::Num(double(o->depth) - timeline::kScriptDepthBase);
    case DisplayProp::Count:
        break;
    }
    return Value();
}

void ScriptHost::Set(ClipId clip, DisplayProp prop, const Value& value) {
    // Conversions may run script (valueOf, toString) that removes the object: convert
    // first, then look it up.
    if (prop == DisplayProp::Name) {
        const std::string name = vm_->ToString(value);
        if (DisplayObject* o = stage_->Find(clip)) {
            o->name = name;
            stage_->Renamed(clip);
        }
        return;
    }
    if (prop == DisplayProp::Visible) {
        const bool visible = avm1::ToBoolean(vm_->ToPrimitive(value), vm_->version());
        if (DisplayObject* o = stage_->Find(clip)) {
            o->visible = visible;
            touched_ = true;
        }
        return;
    }
    const double v = vm_->ToNumber(value);
    DisplayObject* o = stage_->Find(clip);
    if (o == nullptr || !std::isfinite(v)) {
        return; // Flash ignores NaN and infinities here
    }
    double box[4];
    switch (prop) {
    case DisplayProp::X:
        o->matrix.translateX = Twips(v) - FieldOrigin(*o, 0);
        break;
    case DisplayProp::Y:
        o->matrix.translateY = Twips(v) - FieldOrigin(*o, 1);
        break;
    case DisplayProp::XScale:
    case DisplayProp::YScale:
    case DisplayProp::Rotation:
        Decompose(*o);
        if (prop == DisplayProp::XScale) {
            o->xScale = v;
        } else if (prop == DisplayProp::YScale) {
            o->yScale = v;
        } else {
            o->rotation = std::remainder(v, 360.0);
        }
        Recompose(*o);
        break;
    case DisplayProp::Width:
    case DisplayProp::Height: {
        if (o->field) {
            SetFieldSize(*o, prop == DisplayProp::Width, v);
            break;
        }
        // The unrotated size scales to the asked one.
        if (!BoundsIn(*o, Xform(), box, 0)) {
            return;
        }
        const double size = prop == DisplayProp::Width ? box[2] - box[0] : box[3] - box[1];
        if (size <= 0) {
            return;
        }
        Decompose(*o);
        (prop == DisplayProp::Width ? o->xScale : o->yScale) = v * 20 / size * 100;
        Recompose(*o);
        break;
    }
    case DisplayProp::Alpha:
        o->cxform.mulA = Clamp16(v * 256 / 100);
        break;
    default:
        return; // read-only
    }
    o->scripted = true;
    touched_ = true;
}

void ScriptHost::Navigate(ClipId clip, avm1::Navigation nav, int frame, const std::string& label) {
    timeline::Clip* c = stage_->ClipOf(clip);
    if (c == nullptr) {
        return;
    }
    const uint32_t count = c->timeline != nullptr ? c->timeline->frameCount : 1;
    switch (nav) {
    case avm1::Navigation::Play:
        c->playing = true;
        break;
    case avm1::Navigation::Stop:
        c->playing = false;
        break;
    case avm1::Navigation::NextFrame:
        stage_->GoTo(clip, std::min(c->frame + 1, count - 1));
        break;
    case avm1::Navigation::PrevFrame:
        if (c->frame > 0) {
            stage_->GoTo(clip, c->frame - 1);
        }
        break;
    case avm1::Navigation::GotoFrame:
        stage_->GoTo(clip, uint32_t(std::max(1, std::min(frame, int(count)))) - 1);
        break;
    case avm1::Navigation::GotoLabel:
        stage_->GoToLabel(clip, label);
        break;
    }
    touched_ = true;
}

ClipId ScriptHost::Duplicate(ClipId clip, const std::string& name, int depth) {
    return stage_->Duplicate(clip, name, depth);
}

ClipId ScriptHost::Attach(ClipId parent, const std::string& exportName, const std::string& name,
                          int depth) {
    const timeline::Character* c = movie_->dictionary.Exported(exportName);
    return c != nullptr && c->kind == timeline::Kind::Sprite ? stage_->Place(parent, c, name, depth)
                                                             : 0;
}

ClipId ScriptHost::CreateEmpty(ClipId parent, const std::string& name, int depth) {
    return stage_->CreateEmpty(parent, name, depth);
}

ClipId ScriptHost::CreateText(ClipId parent, const std::string& name, int depth,
                              const avm1::Bounds& box) {
    const double w = std::max(0.0, box.xMax - box.xMin), h = std::max(0.0, box.yMax - box.yMin);
    const ClipId made =
        stage_->CreateText(parent, name, depth, swf::Rect{0, Twips(w), 0, Twips(h)});
    if (DisplayObject* o = stage_->Find(made)) {
        o->matrix.translateX = Twips(box.xMin);
        o->matrix.translateY = Twips(box.yMin);
    }
    return made;
}

bool ScriptHost::Remove(ClipId clip) {
    return stage_->Remove(clip);
}

void ScriptHost::SwapDepths(ClipId clip, int depth) {
    stage_->SwapDepths(clip, depth);
}

int ScriptHost::NextHighestDepth(ClipId clip) {
    return stage_->NextHighestDepth(clip);
}

// The object's placement on the stage, in twips (the main timeline's own is not drawn).
static bool ToStage(timeline::Stage* stage, ClipId clip, Xform* out) {
    *out = Xform();
    const DisplayObject* o = stage->Find(clip);
    if (o == nullptr) {
        return false;
    }
    for (int n = 0; o != nullptr && o->id != timeline::kRootId && n <= timeline::kMaxNesting; ++n) {
        *out = Xform::From(o->matrix) * *out;
        o = stage->Find(o->parentId);
    }
    return true;
}

avm1::Bounds ScriptHost::GetBounds(ClipId clip, ClipId space) {
    avm1::Bounds b;
    const DisplayObject* o = stage_->Find(clip);
    Xform world, into;
    if (o == nullptr || !ToStage(stage_, clip, &world)) {
        return b;
    }
    if (space != 0) {
        Xform spaceWorld;
        if (!ToStage(stage_, space, &spaceWorld) || !spaceWorld.Invert(&into)) {
            return b;
        }
    }
    // The object's own space carries its children's placements, not its own matrix.
    double box[4];
    if (!BoundsIn(*o, into * world, box, 0)) {
        return b;
    }
    b.xMin = box[0] / 20;
    b.yMin = box[1] / 20;
    b.xMax = box[2] / 20;
    b.yMax = box[3] / 20;
    return b;
}

bool ScriptHost::HitTestPoint(ClipId clip, double x, double y, bool shape) {
    Xform world;
    const DisplayObject* o = stage_->Find(clip);
    if (shape) {
        return o != nullptr && ToStage(stage_, clip, &world) &&
               timeline::ObjectHit(*o, world, x * 20, y * 20);
    }
    const avm1::Bounds b = GetBounds(clip, 0);
    return x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax && b.xMax > b.xMin;
}

void ScriptHost::Transform(ClipId clip, double& x, double& y, bool toStage) {
    Xform world, m;
    if (!ToStage(stage_, clip, &world)) {
        return;
    }
    if (toStage) {
        m = world;
    } else if (!world.Invert(&m)) {
        return;
    }
    double ox, oy;
    m.Apply(x * 20, y * 20, &ox, &oy);
    x = ox / 20;
    y = oy / 20;
}

void ScriptHost::Draw(ClipId clip, const avm1::DrawCommand& c) {
    timeline::Clip* target = stage_->ClipOf(clip);
    if (target == nullptr) {
        return;
    }
    if (!target->drawing) {
        target->drawing.reset(new timeline::Drawing);
    }
    target->drawing->Apply(c);
    touched_ = true;
}

void ScriptHost::SetMask(ClipId clip, ClipId mask) {
    DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return;
    }
    if (DisplayObject* old = stage_->Find(o->maskedBy)) {
        old->isMask = false;
    }
    DisplayObject* m = stage_->Find(mask);
    o->maskedBy = m != nullptr && mask != clip ? mask : 0;
    if (o->maskedBy != 0) {
        m->isMask = true;
    }
    touched_ = true;
}

avm1::ColorTransform ScriptHost::GetColor(ClipId clip) {
    avm1::ColorTransform t;
    if (const DisplayObject* o = stage_->Find(clip)) {
        const swf::ColorTransform& c = o->cxform;
        t.ra = c.mulR * 100.0 / 256;
        t.ga = c.mulG * 100.0 / 256;
        t.ba = c.mulB * 100.0 / 256;
        t.aa = c.mulA * 100.0 / 256;
        t.rb = c.addR;
        t.gb = c.addG;
        t.bb = c.addB;
        t.ab = c.addA;
    }
    return t;
}

void ScriptHost::SetColor(ClipId clip, const avm1::ColorTransform& t) {
    DisplayObject* o = stage_->Find(clip);
    if (o == nullptr) {
        return;
    }
    swf::ColorTransform& c = o->cxform;
    c.mulR = Clamp16(t.ra * 256 / 100);
    c.mulG = Clamp16(t.ga * 256 / 100);
    c.mulB = Clamp16(t.ba * 256 / 100);
    c.mulA = Clamp16(t.aa * 256 / 100);
    c.addR = Clamp16(t.rb);
    c.addG = Clamp16(t.gb);
    c.addB = Clamp16(t.bb);
    c.addA = Clamp16(t.ab);
    o->scripted = true;
    touched_ = true;
}

timeline::TextFieldState* ScriptHost::TextField(ClipId field) {
    DisplayObject* o = stage_->Find(field);
    return o != nullptr ? o->field.get() : nullptr;
}

void ScriptHost::TextFieldChanged(ClipId field, bool textChanged) {
    DisplayObject* o = stage_->Find(field);
    if (o == nullptr || !o->field) {
        return;
    }
    touched_ = true;
    timeline::TextFieldState& state = *o->field;
    boundText_ = boundText_ || !state.variable.empty();
    if (state.autoSize != 0) {
        state.bounds = FieldBox(state);
    }
    std::string name;
    avm1::Object* scope;
    if (textChanged && !state.variable.empty() && (scope = VariableOf(*o, &name)) != nullptr) {
        const std::string shown =
            state.html ? state.doc.ToHtml() : timeline::EncodeUtf8(state.doc.text());
        vm_->Set(Value::Obj(scope), name, Value::Str(shown));
    }
}

bool ScriptHost::StaticTexts(ClipId clip, std::vector<std::u32string>* out) {
    const DisplayObject* o = stage_->Find(clip);
    if (o == nullptr || !o->clip || o->clip->staticTextGiven || movie_ == nullptr) {
        return false;
    }
    for (const auto& entry : o->clip->objects) {
        const timeline::Character* ch = entry.second.character;
        if (ch == nullptr || ch->kind != timeline::Kind::Text || !ch->text) {
            continue;
        }
        std::u32string s;
        for (const swf::TextRun& run : ch->text->runs) {
            const swf::Font* font = movie_->dictionary.FindFont(run.fontId);
            for (const swf::GlyphEntry& g : run.glyphs) {
                if (font != nullptr && g.index < font->codes.size()) {
                    s += char32_t(font->codes[g.index]);
                }
            }
        }
        out->push_back(std::move(s));
    }
    return true;
}

swf::Rect ScriptHost::FieldBox(const timeline::TextFieldState& field) {
    return measure_.Box(field);
}

avm1::TextMetrics ScriptHost::MeasureField(const timeline::TextFieldState& field) {
    return measure_.Measure(field);
}

void ScriptHost::StageSize(double& width, double& height) {
    width = stageWidth_;
    height = stageHeight_;
}

} // namespace engine
