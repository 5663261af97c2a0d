// Video: a video placed on the timeline as scripts see it. Its display properties
// (_width, _height, _x...) are a clip's; its own are smoothing, deblocking, the decoded
// picture's width and height, and clear(). attachVideo has nothing to attach: a NetStream
// never plays offline, and attachVideo(null) empties the picture as clear() does.
#include "player/core/avm1/vm.h"

namespace avm1 {
namespace {

using VideoProp = DisplayBridge::VideoProp;

Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}

Value GetVideo(Vm& vm, const Value& self, VideoProp prop) {
    const ClipId c = vm.display() ? vm.ClipOf(self) : 0;
    return c ? vm.display()->GetVideoProp(c, prop) : Value();
}

void SetVideo(Vm& vm, const Value& self, VideoProp prop, const Value& v) {
    if (const ClipId c = vm.display() ? vm.ClipOf(self) : 0) {
        vm.display()->SetVideoProp(c, prop, v);
    }
}

Value Clear(Vm& vm, const Value& self, const Args&) {
    SetVideo(vm, self, VideoProp::Cleared, Value::Bool(true));
    return Value();
}

Value AttachVideo(Vm& vm, const Value& self, const Args& a) {
    if (a.size() > 0 && a[0].IsNullish()) {
        SetVideo(vm, self, VideoProp::Cleared, Value::Bool(true));
    }
    return Value();
}

Value GetSmoothing(Vm& vm, const Value& self, const Args&) {
    return GetVideo(vm, self, VideoProp::Smoothing);
}
Value SetSmoothing(Vm& vm, const Value& self, const Args& a) {
    SetVideo(vm, self, VideoProp::Smoothing,
             Value::Bool(a.size() > 0 && ToBoolean(a[0], vm.version())));
    return Value();
}
Value GetDeblocking(Vm& vm, const Value& self, const Args&) {
    return GetVideo(vm, self, VideoProp::Deblocking);
}
Value SetDeblocking(Vm& vm, const Value& self, const Args& a) {
    SetVideo(vm, self, VideoProp::Deblocking, Value::Num(a.size() > 0 ? vm.ToNumber(a[0]) : 0));
    return Value();
}
Value GetWidth(Vm& vm, const Value& self, const Args&) {
    return GetVideo(vm, self, VideoProp::Width);
}
Value GetHeight(Vm& vm, const Value& self, const Args&) {
    return GetVideo(vm, self, VideoProp::Height);
}

} // namespace

void InstallVideo(Vm& vm) {
    Object* proto = vm.NewObject();
    vm.global()->Put("Video", Value::Obj(vm.NewNative(Nothing, proto)), false, kDontEnum);
    proto->Put("attachVideo", Value::Obj(vm.NewNative(AttachVideo)), false, kDontEnum);
    proto->Put("clear", Value::Obj(vm.NewNative(Clear)), false, kDontEnum);
    Property& smoothing = proto->Put("smoothing", Value(), false, kDontEnum);
    smoothing.getter = vm.NewNative(GetSmoothing);
    smoothing.setter = vm.NewNative(SetSmoothing);
    Property& deblocking = proto->Put("deblocking", Value(), false, kDontEnum);
    deblocking.getter = vm.NewNative(GetDeblocking);
    deblocking.setter = vm.NewNative(SetDeblocking);
    proto->Put("width", Value(), false, kDontEnum).getter = vm.NewNative(GetWidth);
    proto->Put("height", Value(), false, kDontEnum).getter = vm.NewNative(GetHeight);
}

Object* VideoPrototype(Vm& vm) {
    const Value video = vm.GetProp(vm.global(), "Video");
    const Value proto = video.IsObject() ? vm.GetProp(video.o, "prototype") : Value();
    return proto.IsObject() ? proto.o : nullptr;
}

} // namespace avm1
