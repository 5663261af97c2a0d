// MovieClip's frames as scripts see them: scenes (frame numbers and labels count from the
// scene's first frame), labels, gotos with Flash Player's reading of their frame argument,
// frame scripts, and stopping a whole tree of clips.
#include <algorithm>
#include <cmath>

#include "player/core/avm2/display.h"
#include "player/core/timeline/display_list.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

struct Span {
    std::string name;
    uint32_t start = 1, count = 1; // 1-based first frame of the timeline, frames
};

uint32_t Timeline(const Value& self) {
    DisplayData* d = DisplayOf(self);
    return d ? d->timeline : 0;
}

// A clip without scenes of its own has one that spans it; the main timeline's is "Scene 1".
std::vector<Span> Spans(Vm& vm, uint32_t t) {
    TimelineBridge* tb = vm.timeline();
    const uint32_t total = t && tb ? tb->TotalFrames(t) : 1;
    std::vector<Span> out;
    if (t && tb)
        for (const auto& s : tb->Scenes(t)) {
            if (!out.empty() && s.second <= out.back().start)
                continue;
            Span span;
            span.name = s.first;
            span.start = std::max<uint32_t>(1, s.second);
            out.push_back(span);
        }
    if (out.empty()) {
        out.emplace_back();
        out.back().name = t == timeline::kRootId ? "Scene 1" : "";
    }
    for (size_t i = 0; i < out.size(); ++i) {
        const uint32_t end = i + 1 < out.size() ? out[i + 1].start : total + 1;
        out[i].count = end > out[i].start ? end - out[i].start : 0;
    }
    return out;
}

size_t SceneAt(const std::vector<Span>& spans, uint32_t frame) {
    size_t at = 0;
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].start <= frame)
            at = i;
    return at;
}

uint32_t Absolute(Vm& vm, uint32_t t) {
    return t && vm.timeline() ? vm.timeline()->CurrentFrame(t) : 1;
}

Value MakeScene(Vm& vm, uint32_t t, const Span& s) {
    std::vector<Value> labels;
    ClassInfo* fl = vm.Builtin("FrameLabel");
    if (t && vm.timeline())
        for (const auto& l : vm.timeline()->Labels(t))
            if (l.second >= s.start && l.second < s.start + s.count) {
                Value a[2] = {Value::Str(l.first), Value::Num(l.second - s.start + 1)};
                labels.push_back(vm.ConstructClass(fl, a, 2));
            }
    Value a[3] = {Value::Str(s.name), Value::Obj(vm.NewArray(std::move(labels))),
                  Value::Num(s.count)};
    return vm.ConstructClass(vm.Builtin("Scene"), a, 3);
}

NATIVE(CurrentFrame) {
    UNUSED;
    const uint32_t t = Timeline(self);
    // A MovieClip made by `new` of no library symbol has no frame to be at.
    if (!t && !(vm.timeline() && vm.timeline()->HasSymbol(self.o->cls)))
        return Value::Num(0);
    const std::vector<Span> spans = Spans(vm, t);
    const uint32_t f = Absolute(vm, t);
    return Value::Num(f - spans[SceneAt(spans, f)].start + 1);
}
NATIVE(TotalFrames) {
    UNUSED;
    const uint32_t t = Timeline(self);
    return Value::Num(t && vm.timeline() ? vm.timeline()->TotalFrames(t) : 1);
}
NATIVE(IsPlaying) {
    UNUSED;
    const uint32_t t = Timeline(self);
    return Value::Bool(t && vm.timeline() && vm.timeline()->Playing(t));
}
void SetPlaying(Vm& vm, const Value& clip, bool playing) {
    if (uint32_t t = Timeline(clip))
        if (vm.timeline())
            vm.timeline()->SetPlaying(t, playing);
}
NATIVE(Play) {
    UNUSED;
    SetPlaying(vm, self, true);
    return Value();
}
NATIVE(Stop) {
    UNUSED;
    SetPlaying(vm, self, false);
    return Value();
}

// Flash Player truncates a frame number to a 32-bit integer (out of range becoming the
// lowest) and steps back to a 0-based index with wrapping, so the far ends land on the last
// frame; the index counts from the scene's first frame and may run into later scenes.
int64_t FrameIndex(double n) {
    const int32_t f =
        std::isnan(n) || n >= 2147483648.0 || n <= -2147483649.0 ? INT32_MIN : int32_t(n);
    return int64_t(int32_t(uint32_t(f) - 1u));
}

int LabelIn(Vm& vm, uint32_t t, const std::string& label, const Span* scene) {
    for (const auto& l : vm.timeline()->Labels(t))
        if (l.first == label &&
            (!scene || (l.second >= scene->start && l.second < scene->start + scene->count)))
            return int(l.second);
    return 0;
}

Value Goto(Vm& vm, const Value& self, Value* args, int argc, bool play) {
    const uint32_t t = Timeline(self);
    TimelineBridge* tb = vm.timeline();
    if (!t || !tb || argc < 1)
        return Value();
    const std::vector<Span> spans = Spans(vm, t);
    const Span* scene = &spans[SceneAt(spans, Absolute(vm, t))];
    const bool named = argc > 1 && !args[1].IsNullish();
    if (named) {
        const std::string want = vm.ToString(args[1]);
        scene = nullptr;
        for (const Span& s : spans)
            if (s.name == want && !scene)
                scene = &s;
        if (!scene)
            return vm.ThrowError("ArgumentError", 2108,
                                 "Error #2108: Scene " + want + " was not found.");
    }
    int64_t frame = 0;
    const Value& a = args[0];
    if (a.IsNumber() && a.n == std::trunc(a.n)) {
        frame = scene->start + FrameIndex(a.n);
    } else {
        // Strings that read as numbers are frame numbers; anything else names a label,
        // looked for in the scene named, else the current scene first.
        const std::string s = vm.ToString(a);
        const double n = StringToNumber(s);
        const bool numeric = a.IsString() && !std::isnan(n);
        int at = numeric ? 0 : LabelIn(vm, t, s, scene);
        if (!at && !numeric && !named)
            at = LabelIn(vm, t, s, nullptr);
        // Before SWF 11 a label not found goes to the first frame, without an error.
        const bool quiet = vm.ToNumber(vm.Get(Value::Obj(StageObject(vm)), "__swfVersion")) < 11;
        if (at)
            frame = at;
        else if (quiet && !numeric)
            frame = 1;
        else if (!std::isnan(n))
            frame = scene->start + FrameIndex(n);
        else if (vm.throwing())
            return Value();
        else
            return vm.ThrowError("ArgumentError", 2109,
                                 "Error #2109: Frame label " + s + " not found in scene " +
                                     scene->name + ".");
    }
    const int64_t total = tb->TotalFrames(t);
    frame = std::max<int64_t>(1, std::min(frame, total));
    tb->SetPlaying(t, play);
    tb->Goto(t, uint32_t(frame));
    return Value();
}
NATIVE(GotoAndPlay) {
    return Goto(vm, self, args, argc, true);
}
NATIVE(GotoAndStop) {
    return Goto(vm, self, args, argc, false);
}
// Steps within the whole timeline, crossing scenes.
void Step(Vm& vm, const Value& self, int by) {
    const uint32_t t = Timeline(self);
    if (!t || !vm.timeline())
        return;
    const int64_t f = int64_t(Absolute(vm, t)) + by;
    vm.timeline()->SetPlaying(t, false);
    if (f >= 1 && f <= int64_t(vm.timeline()->TotalFrames(t)))
        vm.timeline()->Goto(t, uint32_t(f));
}
NATIVE(NextFrame) {
    UNUSED;
    Step(vm, self, 1);
    return Value();
}
NATIVE(PrevFrame) {
    UNUSED;
    Step(vm, self, -1);
    return Value();
}
void SceneStep(Vm& vm, const Value& self, int by) {
    const uint32_t t = Timeline(self);
    if (!t || !vm.timeline())
        return;
    const std::vector<Span> spans = Spans(vm, t);
    // Past either end it goes to the start of the end scene.
    const int64_t i =
        std::max<int64_t>(0, std::min<int64_t>(int64_t(SceneAt(spans, Absolute(vm, t))) + by,
                                               int64_t(spans.size()) - 1));
    vm.timeline()->SetPlaying(t, true);
    vm.timeline()->Goto(t, spans[size_t(i)].start);
}
NATIVE(NextScene) {
    UNUSED;
    SceneStep(vm, self, 1);
    return Value();
}
NATIVE(PrevScene) {
    UNUSED;
    SceneStep(vm, self, -1);
    return Value();
}
NATIVE(CurrentScene) {
    UNUSED;
    const uint32_t t = Timeline(self);
    const std::vector<Span> spans = Spans(vm, t);
    return MakeScene(vm, t, spans[SceneAt(spans, Absolute(vm, t))]);
}
NATIVE(ScenesN) {
    UNUSED;
    const uint32_t t = Timeline(self);
    std::vector<Value> out;
    for (const Span& s : Spans(vm, t))
        out.push_back(MakeScene(vm, t, s));
    return Value::Obj(vm.NewArray(std::move(out)));
}
// The label at or before the current frame, within the current scene.
NATIVE(CurrentLabel) {
    UNUSED;
    const uint32_t t = Timeline(self);
    if (!t || !vm.timeline())
        return Value::Null();
    const std::vector<Span> spans = Spans(vm, t);
    const uint32_t f = Absolute(vm, t);
    const uint32_t start = spans[SceneAt(spans, f)].start;
    Value out = Value::Null();
    uint32_t best = 0;
    for (const auto& l : vm.timeline()->Labels(t))
        if (l.second <= f && l.second >= start && l.second >= best)
            best = l.second, out = Value::Str(l.first);
    return out;
}
NATIVE(CurrentFrameLabel) {
    UNUSED;
    const uint32_t t = Timeline(self);
    if (!t || !vm.timeline())
        return Value::Null();
    const uint32_t f = Absolute(vm, t);
    for (const auto& l : vm.timeline()->Labels(t))
        if (l.second == f)
            return Value::Str(l.first);
    return Value::Null();
}
NATIVE(CurrentLabels) {
    UNUSED;
    return vm.Get(CurrentScene(vm, self, nullptr, 0), "labels");
}
NATIVE(AddFrameScript) {
    UNUSED;
    DisplayData* d = DisplayOf(self);
    if (!d)
        return Value();
    for (int i = 0; i + 1 < argc; i += 2) {
        const double f = vm.ToNumber(args[i]);
        if (f < 0 || f >= 65535 || std::isnan(f))
            continue;
        if (args[i + 1].IsNullish())
            d->frameScripts.erase(uint32_t(f));
        else
            d->frameScripts[uint32_t(f)] = args[i + 1];
    }
    return Value();
}
} // namespace

// Stops this clip and every clip under it.
Value StopAllMovieClips(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    std::vector<Object*> all{self.o};
    for (size_t i = 0; i < all.size() && i < 100000; ++i) {
        DisplayData* d = DisplayOf(Value::Obj(all[i]));
        if (!d)
            continue;
        SetPlaying(vm, Value::Obj(all[i]), false);
        all.insert(all.end(), d->children.begin(), d->children.end());
    }
    return Value();
}
namespace {

NATIVE(FrameLabelCtor) {
    UNUSED;
    vm.Set(self, "name", Arg(args, argc, 0));
    vm.Set(self, "frame", Arg(args, argc, 1));
    return Value();
}
NATIVE(SceneCtor) {
    UNUSED;
    vm.Set(self, "name", Arg(args, argc, 0));
    vm.Set(self, "labels", Arg(args, argc, 1));
    vm.Set(self, "numFrames", Arg(args, argc, 2));
    return Value();
}

} // namespace

void InstallMovieClip(Vm& vm, ClassInfo* clip) {
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {{"play", Play},
                   {"stop", Stop},
                   {"gotoAndPlay", GotoAndPlay},
                   {"gotoAndStop", GotoAndStop},
                   {"nextFrame", NextFrame},
                   {"prevFrame", PrevFrame},
                   {"nextScene", NextScene},
                   {"prevScene", PrevScene},
                   {"addFrameScript", AddFrameScript}};
    for (const auto& m : methods)
        vm.AddMethod(clip, m.name, m.fn);
    static const struct {
        const char* name;
        NativeFn get;
    } getters[] = {{"currentFrame", CurrentFrame},
                   {"totalFrames", TotalFrames},
                   {"framesLoaded", TotalFrames},
                   {"isPlaying", IsPlaying},
                   {"currentLabel", CurrentLabel},
                   {"currentFrameLabel", CurrentFrameLabel},
                   {"currentLabels", CurrentLabels},
                   {"currentScene", CurrentScene},
                   {"scenes", ScenesN}};
    for (const auto& g : getters)
        vm.AddGetter(clip, g.name, g.get);
    vm.DefineClass("flash.display", "FrameLabel", vm.objectClass, Kind::Plain, FrameLabelCtor)
        ->sealed = false;
    vm.DefineClass("flash.display", "Scene", vm.objectClass, Kind::Plain, SceneCtor)->sealed =
        false;
}

} // namespace avm2
