// flash.media.Video as scripts make it: a box of the size asked for, with no stream to show
// (nothing reaches a network or camera offline).
#include <cmath>

#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

// A size Flash accepts: whole pixels whose area stays below 2^29 and whose side in twips
// fits an int.
bool Fits(double w, double h) {
    return w * h < 536870912.0 && w * 20 < 2147483648.0 && h * 20 < 2147483648.0;
}

NATIVE(VideoCtor) {
    UNUSED;
    DisplayCtor(vm, self, args, argc);
    DisplayData* d = DisplayOf(self);
    if (!d)
        return Value();
    // Zero or not a number on either side (undefined too): the default size on both.
    double w = argc > 0 ? double(ToInt32(vm.ToNumber(args[0]))) : 320;
    double h = argc > 1 ? double(ToInt32(vm.ToNumber(args[1]))) : 240;
    if (w < 0 || h < 0)
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    if (w == 0 || h == 0)
        w = 320, h = 240;
    if (!Fits(w, h))
        return vm.ThrowError("RangeError", 2006, ErrorText(2006));
    d->boxWidth = w, d->boxHeight = h;
    return Value();
}
NATIVE(Zero) {
    UNUSED;
    return Value::Num(0);
}
NATIVE(GetSmoothing) {
    UNUSED;
    DisplayData* d = DisplayOf(self);
    return Value::Bool(d && d->smoothing);
}
NATIVE(SetSmoothing) {
    UNUSED;
    if (DisplayData* d = DisplayOf(self))
        d->smoothing = ToBoolean(Arg(args, argc, 0));
    return Value();
}
NATIVE(GetDeblocking) {
    UNUSED;
    DisplayData* d = DisplayOf(self);
    return Value::Num(d ? d->deblocking : 0);
}
NATIVE(SetDeblocking) {
    UNUSED;
    if (DisplayData* d = DisplayOf(self))
        d->deblocking = ToInt32(vm.ToNumber(Arg(args, argc, 0)));
    return Value();
}

} // namespace

void InstallVideo(Vm& vm, ClassInfo* display) {
    ClassInfo* video = vm.DefineClass("flash.media", "Video", display, Kind::Dispatcher, VideoCtor);
    static const Native videoNatives[] = {
        Accessor("videoWidth", Zero),
        Accessor("videoHeight", Zero),
        Accessor("smoothing", GetSmoothing, SetSmoothing),
        Accessor("deblocking", GetDeblocking, SetDeblocking),
    };
    vm.AddNatives(video, videoNatives);
    for (const char* m : {"attachNetStream", "attachCamera", "clear"})
        vm.AddMethod(video, m, answer::Nothing);
}

} // namespace avm2
