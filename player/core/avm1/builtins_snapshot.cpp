// TextSnapshot: the characters of a clip's static text, taken when the snapshot is made.
// Nothing is ever selected in a screen saver, so the selection methods answer as for an
// unselected text.
#include <algorithm>
#include <cmath>

#include "player/core/avm1/builtins_text.h"
#include "player/core/swf/utf8.h"

namespace avm1 {
namespace {

// The snapshot's text and where each static text after the first starts, kept on the
// object itself: no text at all when the clip had none to give.
struct Snapshot {
    std::u32string text;
    std::vector<size_t> starts;
};

bool Read(Vm& vm, const Value& self, Snapshot* out) {
    if (!self.IsObject()) {
        return false;
    }
    const Value text = vm.Get(self, "__snapshotText");
    if (!text.IsString()) {
        return false;
    }
    out->text = timeline::DecodeUtf8(vm.ToString(text), SIZE_MAX);
    const Value starts = vm.Get(self, "__snapshotStarts");
    if (starts.IsObject() && starts.o->kind == Kind::Array) {
        for (const Value& v : starts.o->elements) {
            out->starts.push_back(size_t(std::max(0.0, vm.ToNumber(v))));
        }
    }
    return true;
}

Value Construct(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || !vm.display()) {
        return self;
    }
    const ClipId clip = vm.ClipOf(a[0]);
    std::vector<std::u32string> texts;
    if (!clip || !vm.display()->StaticTexts(clip, &texts)) {
        return self;
    }
    std::u32string all;
    std::vector<Value> starts;
    for (const std::u32string& t : texts) {
        if (!all.empty()) {
            starts.push_back(Value::Num(double(all.size())));
        }
        all += t;
    }
    vm.heap().Charge(all.size() * 4 + starts.size() * sizeof(Value));
    if (vm.heap().OverCap()) {
        vm.Abort(RunResult::OutOfMemory);
        return self;
    }
    self.o->Put("__snapshotText", Value::Str(timeline::EncodeUtf8(all)), false, kDontEnum);
    self.o->Put("__snapshotStarts", Value::Obj(vm.NewArray(std::move(starts))), false, kDontEnum);
    return self;
}

Value GetCount(Vm& vm, const Value& self, const Args&) {
    Snapshot s;
    return Read(vm, self, &s) ? Value::Num(double(s.text.size())) : Value();
}

// getText(start, end[, lineEndings]): at least the character at `start`, both ends held
// inside the text; a line end between static texts when asked.
Value GetText(Vm& vm, const Value& self, const Args& a) {
    Snapshot s;
    if (a.size() < 2 || a.size() > 3 || !Read(vm, self, &s) || s.text.empty()) {
        return Value();
    }
    const double count = double(s.text.size());
    auto index = [&](const Value& v) {
        const double n = vm.ToNumber(v);
        return std::isnan(n) ? 0.0 : std::trunc(n);
    };
    const double start = std::max(0.0, std::min(index(a[0]), count - 1));
    const double end = std::max(start + 1, std::min(index(a[1]), count));
    const bool lineEnds = a.size() == 3 && ToBoolean(a[2], vm.version());
    std::u32string out;
    for (size_t k = size_t(start); k < size_t(end); ++k) {
        if (lineEnds && k > size_t(start) &&
            std::find(s.starts.begin(), s.starts.end(), k) != s.starts.end()) {
            out += U'\n';
        }
        out += s.text[k];
    }
    return Value::Str(timeline::EncodeUtf8(out));
}

// findText(start, text, caseSensitive): where `text` next occurs from `start`, or -1.
Value FindText(Vm& vm, const Value& self, const Args& a) {
    Snapshot s;
    if (a.size() < 3 || !Read(vm, self, &s)) {
        return Value();
    }
    std::u32string needle = timeline::DecodeUtf8(vm.ToString(a[1]));
    const double from = vm.ToNumber(a[0]);
    if (needle.empty() || !(from >= 0) || from >= double(s.text.size())) {
        return Value::Num(-1);
    }
    if (!ToBoolean(a[2], vm.version())) {
        auto lower = [](char32_t c) { return c < 128 ? char32_t(std::tolower(int(c))) : c; };
        std::transform(needle.begin(), needle.end(), needle.begin(), lower);
        std::transform(s.text.begin(), s.text.end(), s.text.begin(), lower);
    }
    const size_t at = s.text.find(needle, size_t(from));
    return Value::Num(at == std::u32string::npos ? -1.0 : double(at));
}

Value Unselected(Vm&, const Value&, const Args&) {
    return Value::Bool(false);
}
Value NoText(Vm&, const Value&, const Args&) {
    return Value::Str("");
}
Value NoPosition(Vm&, const Value&, const Args&) {
    return Value::Num(-1);
}
Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}
Value NoRuns(Vm& vm, const Value&, const Args&) {
    return Value::Obj(vm.NewArray({}));
}

Value ClipSnapshot(Vm& vm, const Value& self, const Args&) {
    const Value ctor = vm.Get(Value::Obj(vm.global()), "TextSnapshot");
    if (!ctor.IsObject()) {
        return Value();
    }
    Object* o = vm.NewObject();
    const Value proto = vm.Get(ctor, "prototype");
    if (proto.IsObject()) {
        o->proto = proto.o;
    }
    const Value made = Value::Obj(o);
    const Value arg[] = {self};
    return Construct(vm, made, Args{arg, 1});
}

} // namespace

void InstallTextSnapshot(Vm& vm) {
    Object* proto = vm.NewObject();
    Object* ctor = vm.NewNative(Construct, proto);
    vm.global()->Put("TextSnapshot", Value::Obj(ctor), false, kDontEnum);
    // Flash lists these methods when a snapshot is enumerated, last added first.
    static const struct {
        const char* name;
        NativeFn fn;
    } methods[] = {
        {"getCount", GetCount}, {"setSelected", Nothing},    {"getSelected", Unselected},
        {"getText", GetText},   {"getSelectedText", NoText}, {"hitTestTextNearPos", NoPosition},
        {"findText", FindText}, {"setSelectColor", Nothing}, {"getTextRunInfo", NoRuns},
    };
    for (const auto& m : methods) {
        proto->Put(m.name, Value::Obj(vm.NewNative(m.fn)), false, 0);
    }
    if (Object* clip = vm.Proto(Kind::Clip)) {
        Method(vm, clip, "getTextSnapshot", ClipSnapshot);
    }
}

} // namespace avm1
