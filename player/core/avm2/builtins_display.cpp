// flash.display and flash.system as far as scripts see them: the
// display tree with its added/removed events, placement through the TimelineBridge, Timer.
// Loader and network classes refuse offline.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

std::string Str(Vm& vm, Value* args, int argc, int i) {
    return i < argc ? vm.ToString(args[i]) : std::string();
}

// ---- DisplayObject ----
DisplayData* D(const Value& self) {
    DisplayData* d = DispatcherData(self);
    return d && d->isDisplay ? d : nullptr;
}

// An object on the stage answers with where the timeline has it (a tween moves it), and
// what a script sets goes to the timeline.
DisplayData* Placed(Vm& vm, const Value& self) {
    DisplayData* d = D(self);
    Placement p;
    if (d && d->timeline && vm.timeline() && vm.timeline()->GetPlacement(d->timeline, &p)) {
        d->x = p.x, d->y = p.y, d->scaleX = p.scaleX, d->scaleY = p.scaleY;
        d->rotation = p.rotation, d->alpha = p.alpha, d->visible = p.visible;
        std::copy(p.mul, p.mul + 3, d->mul);
        std::copy(p.add, p.add + 4, d->add);
    }
    return d;
}
void Place(Vm& vm, const DisplayData* d) {
    if (d->timeline && vm.timeline()) {
        Placement p;
        p.x = d->x, p.y = d->y, p.scaleX = d->scaleX, p.scaleY = d->scaleY;
        p.rotation = d->rotation, p.alpha = d->alpha, p.visible = d->visible;
        std::copy(d->mul, d->mul + 3, p.mul);
        std::copy(d->add, d->add + 4, p.add);
        vm.timeline()->SetPlacement(d->timeline, p);
    }
}
// Filters and the blend mode a script set, given to the timeline object that shows `d`.
void ApplyLook(Vm& vm, const DisplayData* d, bool filters) {
    TimelineBridge* t = vm.timeline();
    if (!d->timeline || t == nullptr)
        return;
    if (d->blend != swf::BlendMode::Normal)
        t->SetBlendMode(d->timeline, d->blend);
    if (!filters)
        return;
    std::vector<swf::Filter> list;
    if (d->filters.IsObject())
        for (const Value& f : d->filters.o->elems) {
            swf::Filter tag;
            if (FilterToTag(vm, f, &tag))
                list.push_back(std::move(tag));
        }
    t->SetFilters(d->timeline, list);
}
const char* const kBlendNames[] = {"normal",  "normal", "layer",      "multiply", "screen",
                                   "lighten", "darken", "difference", "add",      "subtract",
                                   "invert",  "alpha",  "erase",      "overlay",  "hardlight"};
NATIVE(GetBlendMode) {
    UNUSED;
    const DisplayData* d = D(self);
    return Value::Str(kBlendNames[d ? size_t(d->blend) % 15 : 0]);
}
NATIVE(SetBlendMode) {
    UNUSED;
    DisplayData* d = D(self);
    const std::string name = vm.ToString(Arg(args, argc, 0));
    int mode = -1;
    for (int k = 14; k >= 0; --k)
        mode = name == kBlendNames[k] ? k : mode;
    if (name == "shader")
        mode = 0; // no shaders here: drawn as normal
    if (mode < 0)
        return vm.ThrowError(
            "ArgumentError", 2008,
            "Error #2008: Parameter blendMode must be one of the accepted values.");
    if (d != nullptr) {
        d->blend = swf::BlendMode(mode);
        if (d->timeline && vm.timeline())
            vm.timeline()->SetBlendMode(d->timeline, d->blend);
    }
    return Value();
}
#define PLACEMENT(getter, setter, field, convert)                                                  \
    NATIVE(getter) {                                                                               \
        UNUSED;                                                                                    \
        DisplayData* d = Placed(vm, self);                                                         \
        return d ? Value::Num(d->field) : Value::Num(0);                                           \
    }                                                                                              \
    NATIVE(setter) {                                                                               \
        UNUSED;                                                                                    \
        if (DisplayData* d = Placed(vm, self)) {                                                   \
            d->field = convert(vm.ToNumber(Arg(args, argc, 0)));                                   \
            Place(vm, d);                                                                          \
        }                                                                                          \
        return Value();                                                                            \
    }
double AsIs(double v) {
    return v;
}
double Degrees(double v) {
    double r = std::fmod(v, 360);
    return r > 180 ? r - 360 : r < -180 ? r + 360 : r;
}
PLACEMENT(GetX, SetX, x, WholeTwips)
PLACEMENT(GetY, SetY, y, WholeTwips)
PLACEMENT(GetScaleX, SetScaleX, scaleX, AsIs)
PLACEMENT(GetScaleY, SetScaleY, scaleY, AsIs)
PLACEMENT(GetAlpha, SetAlpha, alpha, AsIs)
PLACEMENT(GetRotation, SetRotation, rotation, Degrees)

// Width and height are those of the bounds in the parent's space: the stage's for an
// object there, else its own drawing's at its scale (rotation left out).
bool BoxOf(Vm& vm, DisplayData* d, double* box, int nesting = 0) {
    if (d->timeline && vm.timeline())
        return vm.timeline()->Bounds(d->timeline, box);
    // Off the stage: its drawing and its children's boxes, then its own scale and place.
    swf::Box own;
    timeline::Drawing drawing;
    for (const timeline::DrawOp& op : d->drawing)
        drawing.Apply(op);
    if (!drawing.Empty()) {
        const swf::Rect& r = drawing.Bounds();
        own.Add(r.xMin / 20.0, r.yMin / 20.0);
        own.Add(r.xMax / 20.0, r.yMax / 20.0);
    }
    double child[4];
    for (Object* k : d->children)
        if (DisplayData* c = D(Value::Obj(k)))
            if (nesting < 64 && BoxOf(vm, c, child, nesting + 1)) {
                own.Add(child[0], child[1]);
                own.Add(child[2], child[3]);
            }
    if (d->boxWidth > 0) {
        own.Add(0, 0);
        own.Add(d->boxWidth, d->boxHeight);
    }
    if (own.empty)
        return false;
    box[0] = d->x + own.xMin * d->scaleX, box[2] = d->x + own.xMax * d->scaleX;
    box[1] = d->y + own.yMin * d->scaleY, box[3] = d->y + own.yMax * d->scaleY;
    return true;
}
Value Extent(Vm& vm, const Value& self, int axis) {
    DisplayData* d = Placed(vm, self);
    double box[4];
    return Value::Num(d && BoxOf(vm, d, box) ? std::fabs(box[axis + 2] - box[axis]) : 0);
}
// Scales so the extent becomes the one asked for; nothing when there is nothing to scale.
void SetExtent(Vm& vm, const Value& self, int axis, double want) {
    DisplayData* d = Placed(vm, self);
    double box[4];
    if (!d || std::isnan(want) || !BoxOf(vm, d, box))
        return;
    const double now = std::fabs(box[axis + 2] - box[axis]);
    double& scale = axis ? d->scaleY : d->scaleX;
    if (now <= 0 || !std::isfinite(now))
        return;
    scale = scale * want / now;
    Place(vm, d);
}
NATIVE(GetWidth) {
    UNUSED;
    return Extent(vm, self, 0);
}
NATIVE(GetHeight) {
    UNUSED;
    return Extent(vm, self, 1);
}
NATIVE(SetWidth) {
    UNUSED;
    SetExtent(vm, self, 0, vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}
NATIVE(SetHeight) {
    UNUSED;
    SetExtent(vm, self, 1, vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}
NATIVE(GetVisible) {
    UNUSED;
    DisplayData* d = Placed(vm, self);
    return Value::Bool(d && d->visible);
}
NATIVE(SetVisible) {
    UNUSED;
    if (DisplayData* d = Placed(vm, self)) {
        d->visible = ToBoolean(Arg(args, argc, 0));
        Place(vm, d);
    }
    return Value();
}
NATIVE(GetName) {
    UNUSED;
    DisplayData* d = D(self);
    return d ? Value::Str(d->name) : Value::Null();
}
NATIVE(SetName) {
    UNUSED;
    if (DisplayData* d = D(self))
        d->name = Str(vm, args, argc, 0);
    return Value();
}
NATIVE(GetParent) {
    UNUSED;
    DisplayData* d = D(self);
    return d && d->parent ? Value::Obj(d->parent) : Value::Null();
}
Object* RootOf(Object* o) {
    for (int i = 0; o && i < 10000; ++i) {
        DisplayData* d = D(Value::Obj(o));
        if (!d || !d->parent)
            return nullptr;
        if (D(Value::Obj(d->parent))->isStage)
            return o;
        o = d->parent;
    }
    return nullptr;
}
bool OnStage(Object* o) {
    for (int i = 0; o && i < 10000; ++i) {
        DisplayData* d = D(Value::Obj(o));
        if (!d)
            return false;
        if (d->isStage)
            return true;
        o = d->parent;
    }
    return false;
}
NATIVE(GetStage) {
    UNUSED;
    return OnStage(self.o) ? Value::Obj(StageObject(vm)) : Value::Null();
}
NATIVE(GetRoot) {
    UNUSED;
    DisplayData* d = D(self);
    if (d && d->isStage)
        return self;
    Object* r = RootOf(self.o);
    return r ? Value::Obj(r) : Value::Null();
}
NATIVE(GetMetaData) {
    UNUSED;
    DisplayData* d = D(self);
    return d && !d->extraData.IsUndefined() ? d->extraData : Value::Null();
}
NATIVE(SetMetaData) {
    UNUSED;
    if (DisplayData* d = D(self))
        d->extraData = Arg(args, argc, 0);
    return Value();
}
// The filters read back as a new array each time; they are kept, not drawn.
NATIVE(GetFilters) {
    UNUSED;
    DisplayData* d = D(self);
    std::vector<Value> list;
    if (d && d->filters.IsObject()) {
        for (const Value& f : d->filters.o->elems) {
            list.push_back(vm.CallMethod(f, "clone", nullptr, 0));
            if (vm.throwing())
                return Value();
        }
    } else if (d && d->timeline && vm.timeline()) {
        // None set by a script: those the timeline placed it with.
        for (const swf::Filter& f : vm.timeline()->PlacedFilters(d->timeline)) {
            const Value v = FilterOfTag(vm, f);
            if (!v.IsNull())
                list.push_back(v);
        }
    }
    return Value::Obj(vm.NewArray(std::move(list)));
}
NATIVE(SetFilters) {
    UNUSED;
    DisplayData* d = D(self);
    const Value v = Arg(args, argc, 0);
    if (!d)
        return Value();
    if (v.IsNullish()) {
        d->filters = Value();
        ApplyLook(vm, d, true);
        return Value();
    }
    if (!v.IsObject() || v.o->kind != Kind::Array)
        return vm.ThrowError("TypeError", 1034,
                             "Error #1034: Type Coercion failed: cannot convert " + vm.ToString(v) +
                                 " to Array.");
    ClassInfo* filter = vm.Builtin("BitmapFilter");
    for (const Value& f : v.o->elems)
        if (!vm.IsInstance(f, filter))
            return vm.ThrowError(
                "ArgumentError", 2005,
                "Error #2005: Parameter 0 is of the incorrect type. Should be type Filter.");
    if (v.o->elems.size() > 1000)
        return Value();
    d->filters = Value::Obj(vm.NewArray(v.o->elems));
    ApplyLook(vm, d, true);
    return Value();
}
// ---- Tab order: kept, as there is no keyboard focus to move ----
NATIVE(GetTabEnabled) {
    UNUSED;
    DisplayData* d = D(self);
    if (!d)
        return Value::Bool(false);
    if (d->tabEnabled >= 0)
        return Value::Bool(d->tabEnabled != 0);
    // Buttons, sprites in button mode and input fields take part unless told otherwise.
    const bool button = self.o->cls && self.o->cls->IsSubclassOf(vm.Builtin("SimpleButton"));
    return Value::Bool(button || d->buttonMode || d->inputText);
}
NATIVE(SetTabEnabled) {
    UNUSED;
    if (DisplayData* d = D(self))
        d->tabEnabled = ToBoolean(Arg(args, argc, 0)) ? 1 : 0;
    return Value();
}
NATIVE(GetTabIndex) {
    UNUSED;
    DisplayData* d = D(self);
    return Value::Num(d ? d->tabIndex : -1);
}
NATIVE(SetTabIndex) {
    UNUSED;
    const int32_t i = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    if (i < -1) // -1 takes it out of the order
        return vm.ThrowError("RangeError", 2027,
                             "Error #2027: Parameter tabIndex must be a non-negative number; got " +
                                 std::to_string(i) + ".");
    if (DisplayData* d = D(self))
        d->tabIndex = i;
    return Value();
}
NATIVE(GetTabChildren) {
    UNUSED;
    DisplayData* d = D(self);
    return Value::Bool(!d || d->tabChildren);
}
NATIVE(SetTabChildren) {
    UNUSED;
    if (DisplayData* d = D(self))
        d->tabChildren = ToBoolean(Arg(args, argc, 0));
    return Value();
}
NATIVE(GetButtonMode) {
    UNUSED;
    DisplayData* d = D(self);
    return Value::Bool(d && d->buttonMode);
}
NATIVE(SetButtonMode) {
    UNUSED;
    if (DisplayData* d = D(self))
        d->buttonMode = ToBoolean(Arg(args, argc, 0));
    return Value();
}
// The mouse flags: kept, as a saver ends at the first mouse move.
#define FLAG(Get, Set, field)                                                                      \
    NATIVE(Get) {                                                                                  \
        UNUSED;                                                                                    \
        DisplayData* d = D(self);                                                                  \
        return Value::Bool(d && d->field);                                                         \
    }                                                                                              \
    NATIVE(Set) {                                                                                  \
        UNUSED;                                                                                    \
        if (DisplayData* d = D(self))                                                              \
            d->field = ToBoolean(Arg(args, argc, 0));                                              \
        return Value();                                                                            \
    }
FLAG(GetMouseEnabled, SetMouseEnabled, mouseEnabled)
FLAG(GetDoubleClick, SetDoubleClick, doubleClickEnabled)
FLAG(GetMouseChildren, SetMouseChildren, mouseChildren)

// Hit tests in stage pixels, for objects on the stage.
bool StageBox(Vm& vm, const Value& v, double* box) {
    DisplayData* d = Placed(vm, v);
    if (d && d->timeline && vm.timeline())
        return vm.timeline()->Bounds(d->timeline, box, true);
    // Off the stage its own space stands for the stage's.
    return d && BoxOf(vm, d, box);
}
NATIVE(HitTestPoint) {
    UNUSED;
    const double x = vm.ToNumber(Arg(args, argc, 0)), y = vm.ToNumber(Arg(args, argc, 1));
    DisplayData* d = D(self);
    // The shape is tested only on the stage; off it, only the box answers.
    if (argc > 2 && ToBoolean(args[2]))
        return Value::Bool(d && d->timeline && vm.timeline() && OnStage(self.o) &&
                           vm.timeline()->Hit(d->timeline, x, y));
    double b[4];
    return Value::Bool(StageBox(vm, self, b) && x >= b[0] && x <= b[2] && y >= b[1] && y <= b[3]);
}
// getBounds and getRect: its box in the space of `target`: its own (itself), its parent's,
// or, for any other, the stage's standing for it. Rotation is left out, as in width.
NATIVE(GetBounds) {
    UNUSED;
    DisplayData* d = Placed(vm, self);
    DisplayData* target = D(Arg(args, argc, 0));
    double b[4] = {0, 0, 0, 0};
    bool has = false;
    if (d && target == d) {
        has = BoxOf(vm, d, b);
        const double sx = d->scaleX != 0 ? d->scaleX : 1, sy = d->scaleY != 0 ? d->scaleY : 1;
        b[0] = (b[0] - d->x) / sx, b[2] = (b[2] - d->x) / sx;
        b[1] = (b[1] - d->y) / sy, b[3] = (b[3] - d->y) / sy;
    } else if (d && target && d->parent == target->self) {
        has = BoxOf(vm, d, b);
    } else if (d) {
        has = StageBox(vm, self, b);
    }
    if (!has)
        b[0] = b[1] = b[2] = b[3] = 0;
    Value r[4] = {Value::Num(std::min(b[0], b[2])), Value::Num(std::min(b[1], b[3])),
                  Value::Num(std::fabs(b[2] - b[0])), Value::Num(std::fabs(b[3] - b[1]))};
    return vm.ConstructClass(vm.Builtin("Rectangle"), r, 4);
}
NATIVE(HitTestObject) {
    UNUSED;
    if (!D(Arg(args, argc, 0)))
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "obj"));
    double a[4], b[4];
    return Value::Bool(StageBox(vm, self, a) && StageBox(vm, args[0], b) && a[0] <= b[2] &&
                       b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3]);
}
NATIVE(GetLoaderInfo) {
    UNUSED;
    return Value::Null();
}

// ---- DisplayObjectContainer ----
NATIVE(NumChildren) {
    UNUSED;
    DisplayData* d = D(self);
    return Value::Num(d ? double(d->children.size()) : 0);
}
// Puts a script-made object, and what it holds, under its parent's timeline object once
// that is there, so that it draws: parents before their children. One new to the timeline
// gets its placement and drawing; one that was there (off every list) moves as it is.
void Realize(Vm& vm, Object* obj) {
    TimelineBridge* t = vm.timeline();
    std::vector<Object*> all{obj};
    for (size_t i = 0; t && i < all.size() && i < 100000; ++i) {
        DisplayData* c = D(Value::Obj(all[i]));
        DisplayData* p = c && c->parent ? D(Value::Obj(c->parent)) : nullptr;
        if (!p)
            continue;
        all.insert(all.end(), c->children.begin(), c->children.end());
        // A button's shown state hangs under it, apart from any list.
        if (DisplayData* up = D(c->states[0]))
            if (up->parent == all[i])
                all.push_back(up->self);
        // The stage's own children lie over the main timeline.
        const uint32_t parent = p->isStage ? timeline::kRootId : p->timeline;
        const uint32_t was = c->timeline;
        const uint32_t id = parent ? t->Realize(parent, all[i]) : 0;
        if (!id || id == was)
            continue;
        c->timeline = id;
        Place(vm, c);
        ApplyLook(vm, c, c->filters.IsObject());
        for (const timeline::DrawOp& op : c->drawing)
            t->Draw(c->timeline, op);
    }
}

// The drawing order of a container's script-made children follows its list: they trade the
// depths they hold among themselves (the timeline's own children keep theirs).
void Restack(Vm& vm, const Value& container) {
    DisplayData* d = D(container);
    if (!d || !d->timeline || !vm.timeline())
        return;
    std::vector<uint32_t> ids;
    for (Object* k : d->children) {
        DisplayData* c = D(Value::Obj(k));
        if (c && c->scriptMade && c->timeline)
            ids.push_back(c->timeline);
    }
    if (ids.size() > 1)
        vm.timeline()->Restack(ids);
}

Value AddAt(Vm& vm, const Value& self, const Value& child, int index) {
    DisplayData* d = D(self);
    DisplayData* c = D(child);
    if (!c)
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "child"));
    if (child.o == self.o)
        return vm.ThrowError("ArgumentError", 2024,
                             "Error #2024: An object cannot be added as a child of itself.");
    for (Object* p = d ? d->parent : nullptr; p; p = D(Value::Obj(p))->parent)
        if (p == child.o)
            return vm.ThrowError("ArgumentError", 2150,
                                 "Error #2150: An object cannot be added as a child to one of it's "
                                 "children (or children's children, etc.).");
    if (!d)
        return child;
    if (c->parent == self.o) {
        auto& list = d->children;
        list.erase(std::find(list.begin(), list.end(), child.o));
        index = std::min(index, int(list.size()));
        list.insert(list.begin() + index, child.o);
        Restack(vm, self);
        return child;
    }
    if (c->parent)
        DetachChild(vm, child.o, true);
    if (index > int(d->children.size()) || index < 0)
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    d->children.insert(d->children.begin() + index, child.o);
    c->parent = self.o;
    Realize(vm, child.o);
    Restack(vm, self);
    DispatchSimple(vm, child.o, "added", true);
    if (OnStage(self.o)) {
        // addedToStage goes to the child and then each of its descendants.
        std::vector<Object*> all{child.o};
        for (size_t i = 0; i < all.size() && i < 100000; ++i)
            for (Object* k : D(Value::Obj(all[i]))->children)
                all.push_back(k);
        for (Object* o : all)
            DispatchSimple(vm, o, "addedToStage", false);
    }
    return child;
}
NATIVE(AddChild) {
    UNUSED;
    DisplayData* d = D(self);
    return AddAt(vm, self, Arg(args, argc, 0), d ? int(d->children.size()) : 0);
}
NATIVE(AddChildAt) {
    UNUSED;
    return AddAt(vm, self, Arg(args, argc, 0), ClampInt(vm.ToNumber(Arg(args, argc, 1))));
}
NATIVE(RemoveChild) {
    UNUSED;
    DisplayData* c = D(Arg(args, argc, 0));
    if (!c)
        return vm.ThrowError("TypeError", 2007, ErrorText(2007, "child"));
    if (c->parent != self.o)
        return vm.ThrowError("ArgumentError", 2025, ErrorText(2025));
    DetachChild(vm, args[0].o, true);
    return args[0];
}
NATIVE(RemoveChildAt) {
    UNUSED;
    DisplayData* d = D(self);
    const int i = ClampInt(vm.ToNumber(Arg(args, argc, 0)));
    if (!d || i < 0 || i >= int(d->children.size()))
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    Object* c = d->children[size_t(i)];
    DetachChild(vm, c, true);
    return Value::Obj(c);
}
NATIVE(RemoveChildren) {
    UNUSED;
    DisplayData* d = D(self);
    while (d && !d->children.empty() && !vm.aborted())
        DetachChild(vm, d->children.back(), true);
    return Value();
}
NATIVE(GetChildAt) {
    UNUSED;
    DisplayData* d = D(self);
    const int i = ClampInt(vm.ToNumber(Arg(args, argc, 0)));
    if (!d || i < 0 || i >= int(d->children.size()))
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    return Value::Obj(d->children[size_t(i)]);
}
NATIVE(GetChildByName) {
    UNUSED;
    DisplayData* d = D(self);
    const std::string name = Str(vm, args, argc, 0);
    if (d)
        for (Object* c : d->children)
            if (D(Value::Obj(c))->name == name)
                return Value::Obj(c);
    return Value::Null();
}
NATIVE(GetChildIndex) {
    UNUSED;
    DisplayData* d = D(self);
    if (d && argc > 0 && args[0].IsObject())
        for (size_t i = 0; i < d->children.size(); ++i)
            if (d->children[i] == args[0].o)
                return Value::Num(double(i));
    return vm.ThrowError("ArgumentError", 2025, ErrorText(2025));
}
NATIVE(SetChildIndex) {
    UNUSED;
    DisplayData* d = D(self);
    DisplayData* c = D(Arg(args, argc, 0));
    if (!d || !c || c->parent != self.o)
        return vm.ThrowError("ArgumentError", 2025, ErrorText(2025));
    const int i = ClampInt(vm.ToNumber(Arg(args, argc, 1)));
    if (i < 0 || i >= int(d->children.size()))
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    auto& list = d->children;
    list.erase(std::find(list.begin(), list.end(), args[0].o));
    list.insert(list.begin() + i, args[0].o);
    Restack(vm, self);
    return Value();
}
NATIVE(Contains) {
    UNUSED;
    for (Value v = Arg(args, argc, 0); D(v); v = D(v)->parent ? Value::Obj(D(v)->parent) : Value())
        if (v.o == self.o)
            return Value::Bool(true);
    return Value::Bool(false);
}
NATIVE(SwapChildrenAt) {
    UNUSED;
    DisplayData* d = D(self);
    const int a = ClampInt(vm.ToNumber(Arg(args, argc, 0))),
              b = ClampInt(vm.ToNumber(Arg(args, argc, 1)));
    if (!d || a < 0 || b < 0 || a >= int(d->children.size()) || b >= int(d->children.size()))
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    std::swap(d->children[size_t(a)], d->children[size_t(b)]);
    Restack(vm, self);
    return Value();
}
NATIVE(SwapChildren) {
    UNUSED;
    DisplayData* d = D(self);
    if (!d || argc < 2)
        return Value();
    auto a = std::find(d->children.begin(), d->children.end(), args[0].o);
    auto b = std::find(d->children.begin(), d->children.end(), args[1].o);
    if (a == d->children.end() || b == d->children.end())
        return vm.ThrowError("ArgumentError", 2025, ErrorText(2025));
    std::iter_swap(a, b);
    Restack(vm, self);
    return Value();
}

// ---- SimpleButton ----
// The up state is the one shown: it hangs under the button (on the stage with it); the
// state it replaces goes off every list.
void ShowUpState(Vm& vm, DisplayData* b, const Value& state) {
    DisplayData* old = D(b->states[0]);
    if (old && old->parent == b->self) {
        old->parent = nullptr;
        if (old->timeline && vm.timeline())
            vm.timeline()->Unrealize(old->timeline);
    }
    b->states[0] = state;
    DisplayData* now = D(state);
    if (!now)
        return;
    if (now->parent && now->parent != b->self)
        DetachChild(vm, state.o, true);
    now->parent = b->self;
    if (b->timeline)
        Realize(vm, state.o);
    // It hears that it was added, and on the stage the button runs a frame's construction
    // for it, as Flash's does.
    DispatchSimple(vm, state.o, "added", true);
    if (OnStage(b->self)) {
        DispatchSimple(vm, state.o, "addedToStage", false);
        DispatchSimple(vm, state.o, "frameConstructed", false);
        DispatchSimple(vm, state.o, "exitFrame", false);
    }
}
Value SetState(Vm& vm, const Value& self, Value* args, int argc, int k) {
    DisplayData* b = D(self);
    const Value v = Arg(args, argc, 0);
    if (!v.IsNullish() && !D(v))
        return vm.ThrowError("TypeError", 1034,
                             "Error #1034: Type Coercion failed: cannot convert " + vm.ToString(v) +
                                 " to flash.display.DisplayObject.");
    if (!b)
        return Value();
    const Value state = D(v) ? v : Value::Null();
    if (k == 0)
        ShowUpState(vm, b, state);
    else
        b->states[k] = state;
    return Value();
}
#define STATE(Get, Set, k)                                                                         \
    NATIVE(Get) {                                                                                  \
        UNUSED;                                                                                    \
        DisplayData* d = D(self);                                                                  \
        return d && d->states[k].IsObject() ? d->states[k] : Value::Null();                        \
    }                                                                                              \
    NATIVE(Set) {                                                                                  \
        return SetState(vm, self, args, argc, k);                                                  \
    }
STATE(GetUpState, SetUpState, 0)
STATE(GetOverState, SetOverState, 1)
STATE(GetDownState, SetDownState, 2)
STATE(GetHitState, SetHitState, 3)
FLAG(GetButtonEnabled, SetButtonEnabled, enabled)
FLAG(GetHandCursor, SetHandCursor, useHandCursor)
FLAG(GetTrackAsMenu, SetTrackAsMenu, trackAsMenu)
// new SimpleButton(upState, overState, downState, hitTestState)
NATIVE(ButtonCtor) {
    UNUSED;
    DisplayCtor(vm, self, args, argc);
    for (int k = 0; k < 4 && k < argc && !vm.throwing(); ++k)
        if (!args[k].IsNullish())
            SetState(vm, self, args + k, 1, k);
    return Value();
}

// ---- Stage ----
NATIVE(StageWidth) {
    UNUSED;
    return vm.Get(Value::Obj(StageObject(vm)), "__width");
}
NATIVE(StageHeight) {
    UNUSED;
    return vm.Get(Value::Obj(StageObject(vm)), "__height");
}
NATIVE(StageFrameRate) {
    UNUSED;
    return vm.Get(Value::Obj(StageObject(vm)), "__frameRate");
}
NATIVE(StageRefuses) {
    UNUSED;
    return vm.ThrowError("Error", 2071,
                         "Error #2071: The Stage class does not implement this property or "
                         "method.");
}
NATIVE(MinusOne) {
    UNUSED;
    return Value::Num(-1);
}
NATIVE(ScaleMode) {
    UNUSED;
    return Value::Str("noScale");
}
NATIVE(Align) {
    UNUSED;
    return Value::Str("");
}
NATIVE(Quality) {
    UNUSED;
    return Value::Str("HIGH");
}
} // namespace

Value DisplayCtor(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (d) {
        // The host gives what the timeline placed its object before constructing it.
        if (!d->isDisplay) {
            d->scriptMade = true;
            if (vm.timeline())
                d->name = vm.timeline()->NewInstanceName();
        }
        d->isDisplay = true;
        ClassInfo* container = vm.Builtin("DisplayObjectContainer");
        d->isContainer = self.o->cls && self.o->cls->IsSubclassOf(container);
        // As in Flash, a symbol's children are constructed within its `super()`.
        if (vm.timeline())
            vm.timeline()->BuildChildren(self.o);
    }
    return Value();
}

namespace {
// Only the timeline makes these.
NATIVE(TimelineOnlyCtor) {
    UNUSED;
    DisplayData* d = DispatcherData(self);
    if (d && !d->isDisplay)
        return vm.ThrowError("ArgumentError", 2012,
                             "Error #2012: " + self.o->cls->name +
                                 "$ class cannot be instantiated.");
    return DisplayCtor(vm, self, args, argc);
}
NATIVE(Refuse) {
    UNUSED;
    vm.Notice("a movie asked to load another file; offline, nothing is loaded");
    return Value();
}

} // namespace

DisplayData* ReadPlacement(Vm& vm, const Value& object) {
    return Placed(vm, object);
}
void WritePlacement(Vm& vm, const DisplayData* d) {
    Place(vm, d);
}
double WholeTwips(double v) {
    const double t = v * 20;
    return (t > -2147483649.0 && t < 2147483648.0 ? double(int32_t(t)) : -2147483648.0) / 20;
}

void DisplayData::Mark(Vm& vm) {
    for (auto& e : listeners)
        for (Listener& l : e.second)
            vm.MarkValue(l.fn);
    vm.MarkValue(Value::Obj(parent));
    for (Object* c : children)
        vm.MarkValue(Value::Obj(c));
    for (auto& f : frameScripts)
        vm.MarkValue(f.second);
    vm.MarkValue(extraData);
    vm.MarkValue(graphics);
    vm.MarkValue(filters);
    vm.MarkValue(loaderInfo);
    for (const Value& state : states)
        vm.MarkValue(state);
    vm.MarkValue(bitmapData);
}

DisplayData* DisplayOf(const Value& v) {
    return D(v);
}

Object* NewDisplayObject(Vm& vm, ClassInfo* c, uint32_t timeline) {
    Object* o = vm.NewInstance(c);
    DisplayData* d = DispatcherData(Value::Obj(o));
    if (d) {
        d->isDisplay = true;
        d->timeline = timeline;
        ClassInfo* container = vm.Builtin("DisplayObjectContainer");
        d->isContainer = c->IsSubclassOf(container);
    }
    return o;
}

Object* StageObject(Vm& vm) {
    static const char* kKey = "stage";
    (void)kKey;
    ClassInfo* s = vm.Builtin("Stage");
    const Value v = s->object->dyn ? *s->object->dyn->Find("__instance") : Value();
    if (v.IsObject())
        return v.o;
    Object* o = NewDisplayObject(vm, s, 0);
    D(Value::Obj(o))->isStage = true;
    D(Value::Obj(o))->isContainer = true;
    if (!s->object->dyn)
        s->object->dyn.reset(new DynProps);
    s->object->dyn->Set("__instance", Value::Obj(o), false);
    return o;
}

void AttachChild(Vm& vm, Object* parent, Object* child, bool events) {
    DisplayData* d = D(Value::Obj(parent));
    DisplayData* c = D(Value::Obj(child));
    if (!d || !c)
        return;
    if (events) {
        AddAt(vm, Value::Obj(parent), Value::Obj(child), int(d->children.size()));
        return;
    }
    d->children.push_back(child);
    c->parent = parent;
}

void DetachChild(Vm& vm, Object* child, bool events) {
    DisplayData* c = D(Value::Obj(child));
    if (!c || !c->parent)
        return;
    if (events) {
        DispatchSimple(vm, child, "removed", true);
        if (OnStage(child)) {
            std::vector<Object*> all{child};
            for (size_t i = 0; i < all.size() && i < 100000; ++i)
                for (Object* k : D(Value::Obj(all[i]))->children)
                    all.push_back(k);
            for (Object* o : all)
                DispatchSimple(vm, o, "removedFromStage", false);
        }
    }
    if (!c->parent)
        return;
    // Off every list with everything under it, keeping its shape; moved back when added.
    if (c->timeline && vm.timeline())
        vm.timeline()->Unrealize(c->timeline);
    DisplayData* p = D(Value::Obj(c->parent));
    auto& list = p->children;
    list.erase(std::remove(list.begin(), list.end(), child), list.end());
    c->parent = nullptr;
}

void WhileRealized(Vm& vm, Object* obj, const std::function<void(uint32_t)>& use) {
    DisplayData* c = D(Value::Obj(obj));
    if (c == nullptr || vm.timeline() == nullptr)
        return;
    if (c->timeline != 0) {
        use(c->timeline);
        return;
    }
    // Under the stage for the moment it is drawn, then off again as if never there.
    Object* parent = c->parent;
    c->parent = StageObject(vm);
    Realize(vm, obj);
    c->parent = parent;
    if (c->timeline == 0)
        return;
    use(c->timeline);
    vm.timeline()->Unrealize(c->timeline);
    std::vector<Object*> all{obj};
    for (size_t i = 0; i < all.size() && i < 100000; ++i) {
        DisplayData* k = D(Value::Obj(all[i]));
        k->timeline = 0;
        all.insert(all.end(), k->children.begin(), k->children.end());
    }
}

void RunFrameScript(Vm& vm, Object* clip, uint32_t frame) {
    DisplayData* d = D(Value::Obj(clip));
    if (!d)
        return;
    auto it = d->frameScripts.find(frame);
    if (it == d->frameScripts.end())
        return;
    const Value fn = it->second;
    // Flash Player passes over a frame script that is not a function.
    if (!fn.IsObject() || (fn.o->kind != Kind::Function && fn.o->kind != Kind::Class))
        return;
    vm.CallFromHost(fn, Value::Obj(clip), nullptr, 0);
}

void InstallDisplay(Vm& vm) {
    ClassInfo* object = vm.objectClass;
    ClassInfo* dispatcher = InstallEvents(vm);

    ClassInfo* display =
        vm.DefineClass("flash.display", "DisplayObject", dispatcher, Kind::Dispatcher, DisplayCtor);
    static const struct {
        const char* name;
        NativeFn get, set;
    } props[] = {{"x", GetX, SetX},
                 {"y", GetY, SetY},
                 {"scaleX", GetScaleX, SetScaleX},
                 {"scaleY", GetScaleY, SetScaleY},
                 {"alpha", GetAlpha, SetAlpha},
                 {"width", GetWidth, SetWidth},
                 {"height", GetHeight, SetHeight},
                 {"rotation", GetRotation, SetRotation},
                 {"visible", GetVisible, SetVisible},
                 {"name", GetName, SetName},
                 {"parent", GetParent, nullptr},
                 {"stage", GetStage, nullptr},
                 {"root", GetRoot, nullptr},
                 {"metaData", GetMetaData, SetMetaData},
                 {"loaderInfo", MovieLoaderInfo, nullptr},
                 {"transform", TransformOf, SetTransform},
                 {"mask", GetLoaderInfo, answer::Nothing},
                 {"filters", GetFilters, SetFilters},
                 {"cacheAsBitmap", nullptr, answer::Nothing},
                 {"blendMode", GetBlendMode, SetBlendMode}};
    for (const auto& p : props)
        vm.AddGetter(display, p.name, p.get, p.set);
    static const Native displayNatives[] = {
        Fn("hitTestPoint", HitTestPoint),
        Fn("hitTestObject", HitTestObject),
        Fn("getBounds", GetBounds),
        Fn("getRect", GetBounds),
    };
    vm.AddNatives(display, displayNatives);
    InstallGraphics(vm, display);
    ClassInfo* interactive = vm.DefineClass("flash.display", "InteractiveObject", display,
                                            Kind::Dispatcher, DisplayCtor);
    static const Native interactiveNatives[] = {
        Accessor("mouseEnabled", GetMouseEnabled, SetMouseEnabled),
        Accessor("doubleClickEnabled", GetDoubleClick, SetDoubleClick),
        Accessor("tabEnabled", GetTabEnabled, SetTabEnabled),
        Accessor("tabIndex", GetTabIndex, SetTabIndex),
    };
    vm.AddNatives(interactive, interactiveNatives);
    ClassInfo* container = vm.DefineClass("flash.display", "DisplayObjectContainer", interactive,
                                          Kind::Dispatcher, DisplayCtor);
    static const struct {
        const char* name;
        NativeFn fn;
    } containerMethods[] = {{"addChild", AddChild},
                            {"addChildAt", AddChildAt},
                            {"removeChild", RemoveChild},
                            {"removeChildAt", RemoveChildAt},
                            {"removeChildren", RemoveChildren},
                            {"getChildAt", GetChildAt},
                            {"getChildByName", GetChildByName},
                            {"getChildIndex", GetChildIndex},
                            {"setChildIndex", SetChildIndex},
                            {"contains", Contains},
                            {"swapChildrenAt", SwapChildrenAt},
                            {"swapChildren", SwapChildren},
                            {"stopAllMovieClips", StopAllMovieClips}};
    for (const auto& m : containerMethods)
        vm.AddMethod(container, m.name, m.fn);
    static const Native containerNatives[] = {
        Accessor("numChildren", NumChildren),
        Accessor("mouseChildren", GetMouseChildren, SetMouseChildren),
        Accessor("tabChildren", GetTabChildren, SetTabChildren),
    };
    vm.AddNatives(container, containerNatives);
    ClassInfo* sprite =
        vm.DefineClass("flash.display", "Sprite", container, Kind::Dispatcher, DisplayCtor);
    static const Native spriteNatives[] = {
        Accessor("buttonMode", GetButtonMode, SetButtonMode),
        Accessor("useHandCursor", nullptr, answer::Nothing),
        Fn("startDrag", answer::Nothing),
        Fn("stopDrag", answer::Nothing),
    };
    vm.AddNatives(sprite, spriteNatives);
    ClassInfo* clip =
        vm.DefineClass("flash.display", "MovieClip", sprite, Kind::Dispatcher, DisplayCtor);
    clip->sealed = false;
    vm.AddGetter(clip, "enabled", nullptr, answer::Nothing);
    InstallMovieClip(vm, clip);
    vm.DefineClass("flash.display", "Shape", display, Kind::Dispatcher, DisplayCtor);
    InstallBitmaps(vm, display);
    InstallVideo(vm, display);
    ClassInfo* button =
        vm.DefineClass("flash.display", "SimpleButton", interactive, Kind::Dispatcher, ButtonCtor);
    static const struct {
        const char* name;
        NativeFn get, set;
    } buttonProps[] = {{"upState", GetUpState, SetUpState},
                       {"overState", GetOverState, SetOverState},
                       {"downState", GetDownState, SetDownState},
                       {"hitTestState", GetHitState, SetHitState},
                       {"enabled", GetButtonEnabled, SetButtonEnabled},
                       {"useHandCursor", GetHandCursor, SetHandCursor},
                       {"trackAsMenu", GetTrackAsMenu, SetTrackAsMenu}};
    for (const auto& p : buttonProps)
        vm.AddGetter(button, p.name, p.get, p.set);
    vm.DefineClass("flash.display", "MorphShape", display, Kind::Dispatcher, TimelineOnlyCtor);
    vm.DefineClass("flash.text", "StaticText", display, Kind::Dispatcher, TimelineOnlyCtor);
    ClassInfo* loader =
        vm.DefineClass("flash.display", "Loader", container, Kind::Dispatcher, DisplayCtor);
    static const Native loaderNatives[] = {Fn("load", Refuse), Fn("loadBytes", Refuse)};
    vm.AddNatives(loader, loaderNatives);
    ClassInfo* stage =
        vm.DefineClass("flash.display", "Stage", container, Kind::Dispatcher, DisplayCtor);
    stage->sealed = false;
    static const Native stageNatives[] = {
        Accessor("stageWidth", StageWidth, answer::Nothing),
        Accessor("stageHeight", StageHeight, answer::Nothing),
        Accessor("frameRate", StageFrameRate, answer::Nothing),
        Accessor("scaleMode", ScaleMode, answer::Nothing),
        Accessor("align", Align, answer::Nothing),
        Accessor("quality", Quality, answer::Nothing),
    };
    vm.AddNatives(stage, stageNatives);
    // What the Stage, not being placed like other objects, refuses to be set.
    static const char* const stageRefuses[] = {"accessibilityImplementation",
                                               "accessibilityProperties",
                                               "alpha",
                                               "blendMode",
                                               "cacheAsBitmap",
                                               "contextMenu",
                                               "filters",
                                               "focusRect",
                                               "height",
                                               "mask",
                                               "name",
                                               "opaqueBackground",
                                               "rotation",
                                               "rotationX",
                                               "rotationY",
                                               "rotationZ",
                                               "scale9Grid",
                                               "scaleX",
                                               "scaleY",
                                               "scaleZ",
                                               "scrollRect",
                                               "tabEnabled",
                                               "tabIndex",
                                               "transform",
                                               "visible",
                                               "width",
                                               "x",
                                               "y",
                                               "z"};
    for (const char* name : stageRefuses) {
        NativeFn get = nullptr;
        for (const auto& p : props)
            if (std::strcmp(p.name, name) == 0)
                get = p.get;
        vm.AddGetter(stage, name, get, StageRefuses);
    }
    static const Native stageNatives2[] = {
        Accessor("tabEnabled", answer::False, StageRefuses),
        Accessor("tabIndex", MinusOne, StageRefuses),
        Accessor("textSnapshot", StageRefuses),
    };
    vm.AddNatives(stage, stageNatives2);
    InstallText(vm);
    InstallTextField(vm, interactive);

    InstallTimer(vm, dispatcher);

    InstallGeom(vm);
    InstallFilters(vm);

    ClassInfo* caps = vm.DefineClass("flash.system", "Capabilities", object, Kind::Plain, nullptr);
    static const struct {
        const char* name;
        const char* value;
    } capabilities[] = {{"version", "WIN 32,0,0,465"},
                        {"playerType", "StandAlone"},
                        {"os", "Windows 10"},
                        {"language", "en"},
                        {"manufacturer", "Adobe Windows"},
                        {"cpuArchitecture", "x86"}};
    for (const auto& k : capabilities)
        vm.AddConstant(caps, k.name, Value::Str(k.value));
    // Network and file classes are present so scripts load, and refuse what they are asked.
    static const char* const network[] = {"URLLoader",      "URLStream",     "Socket",
                                          "XMLSocket",      "NetConnection", "NetStream",
                                          "LocalConnection"};
    for (const char* n : network) {
        ClassInfo* c = vm.DefineClass("flash.net", n, dispatcher, Kind::Dispatcher, DispatcherCtor);
        c->sealed = false;
        static const char* const refused[] = {"load",     "connect", "send", "browse",
                                              "download", "upload",  "play"};
        for (const char* m : refused)
            vm.AddMethod(c, m, Refuse);
    }
    InstallOffline(vm, dispatcher);
    InstallNames(vm, dispatcher);
}

} // namespace avm2
