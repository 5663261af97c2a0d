// Script speed, side by side with the same work done in C++ through the same display
// bridge: 500 clips moved by onEnterFrame handlers with Math calls, and a tight loop.
#include <ctime>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/vm.h"
#include "tests/engine/avm1_asm.h"
#include "tests/engine/avm1_fake_display.h"

namespace {

// CPU time of this thread: the machine may be busy with other work.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
};
double Ms(double a, double b) {
    return b - a;
}

// Each clip: _x += vx; _y += cos(...) ; _rotation = sin(getTimer()/100 + vx) * 30; bounce.
const char* const kSetup = R"(
func2 move 3 0x01 () {
  push r:1 '_x' r:1 '_x'; getmember; push r:1 'vx'; getmember; add2; setmember
  push r:1 '_y' r:1 '_y'; getmember; push r:1 'vx'; getmember; push 1 'Math'; getvar
  push 'cos'; callmethod; add2; setmember
  push r:1 '_rotation' 0 'getTimer'; callfunc; push 100; div; push r:1 'vx'; getmember; add2
  push 1 'Math'; getvar; push 'sin'; callmethod; push 30; mul; setmember
  push r:1 '_x'; getmember; push 550; gt; dup; if Flip; pop; push r:1 '_x'; getmember
  push 0; lt2
  Flip: not; if Done; push r:1 'vx' 0 r:1 'vx'; getmember; sub; setmember
  Done:
}
push 'i' 0; setvar
L: push '_root'; getvar; push 'c'; push 'i'; getvar; add2; getmember; store 2; pop
push r:2 'vx' 0 'Math'; getvar; push 'random'; callmethod; push 4; mul; push 2; sub; setmember
push r:2 'onEnterFrame' 'move'; getvar; setmember
push 'i'; push 'i'; getvar; inc; setvar
push 'i'; getvar; push 500; lt2; if L
)";

const char* const kLoop =
    "push 0; store 1; pop; L: push r:1; inc; store 1; push 2000000; lt2; if L";
const char* const kVarLoop =
    "push 'n' 0; setvar; L: push 'n'; push 'n'; getvar; inc; setvar; push 'n'; getvar; "
    "push 500000; lt2; if L";

} // namespace

int main() {
    const int kClips = 500, kFrames = 200;
    avm1test::FakeDisplay display;
    std::vector<avm1::ClipId> clips;
    for (int i = 0; i < kClips; i++) {
        avm1::ClipId c = display.NewClip(1, "c" + std::to_string(i), i + 1);
        display.clips[c].props[0] = 275;
        clips.push_back(c);
    }
    avm1::Limits limits;
    limits.millisecondsPerFrame = 1e9;
    limits.instructionsPerFrame = 1ull << 40;
    avm1::Vm vm(&display, 7, limits);
    display.vm = &vm;
    vm.SetSink(
        [](avm1::Channel, const std::string& s) { std::fprintf(stderr, "%s\n", s.c_str()); });
    std::vector<uint8_t> setup = avm1test::Assemble(kSetup);
    vm.BeginFrame();
    if (setup.empty() || vm.RunActions(1, setup.data(), setup.size()) != avm1::RunResult::Done) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    vm.EndFrame();

    // Scripted frames: what the facade does per frame for these clips.
    auto t0 = Clock::now();
    for (int f = 0; f < kFrames; f++) {
        vm.BeginFrame();
        for (avm1::ClipId c : clips)
            vm.DispatchClipEvent(c, avm1::ClipEvent::EnterFrame);
        vm.EndFrame();
    }
    auto t1 = Clock::now();
    double scripted = Ms(t0, t1) / kFrames;

    // The same arithmetic in C++ through the bridge: the floor the display list sets.
    std::vector<double> vx(kClips, 1.5);
    auto t2 = Clock::now();
    double sink = 0;
    for (int f = 0; f < kFrames; f++) {
        for (int i = 0; i < kClips; i++) {
            avm1::ClipId c = clips[i];
            double x = display.Get(c, avm1::DisplayProp::X).n + vx[i];
            display.Set(c, avm1::DisplayProp::X, avm1::Value::Num(x));
            double y = display.Get(c, avm1::DisplayProp::Y).n + std::cos(vx[i]);
            display.Set(c, avm1::DisplayProp::Y, avm1::Value::Num(y));
            double r = std::sin(vm.Now() / 100 + vx[i]) * 30;
            display.Set(c, avm1::DisplayProp::Rotation, avm1::Value::Num(r));
            if (x > 550 || x < 0)
                vx[i] = -vx[i];
            sink += r;
        }
    }
    auto t3 = Clock::now();
    double native = Ms(t2, t3) / kFrames;

    std::printf("500 clips, onEnterFrame with Math: %.3f ms/frame scripted, %.3f ms/frame in "
                "C++ (ratio %.1f); target 2 ms: %s\n",
                scripted, native, scripted / native, scripted < 2 ? "met" : "NOT met");

    for (const char* loop : {kLoop, kVarLoop}) {
        std::vector<uint8_t> code = avm1test::Assemble(loop);
        uint64_t before = vm.instructionsRun();
        vm.BeginFrame();
        auto a = Clock::now();
        vm.RunActions(1, code.data(), code.size());
        auto b = Clock::now();
        double actions = double(vm.instructionsRun() - before);
        std::printf("%s loop: %.1f million actions/s (%.0f actions in %.1f ms)\n",
                    loop == kLoop ? "register" : "variable", actions / Ms(a, b) / 1000, actions,
                    Ms(a, b));
    }
    return sink == 12345 ? 1 : 0;
}
