// Script speed, side by side with the same work done in C++ through the same display
// bridge: 500 clips moved by onEnterFrame handlers with Math calls, and a tight loop.
#include <ctime>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/vm.h"
#include "player/core/engine.h"
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

// The same clips made by attachMovie in a movie the whole engine plays.
const char* const kAttach = R"(
push 'i' 0; setvar
A: push 'i'; getvar; push 'c'; push 'i'; getvar; add2; push 'box' 3 '_root'; getvar
push 'attachMovie'; callmethod; pop
push 'i'; push 'i'; getvar; inc; setvar; push 'i'; getvar; push 500; lt2; if A
)";

void Tag(std::vector<uint8_t>& out, int code, const std::vector<uint8_t>& body) {
    const uint16_t head = uint16_t(code << 6 | 0x3F);
    out.insert(out.end(), {uint8_t(head), uint8_t(head >> 8), uint8_t(body.size()),
                           uint8_t(body.size() >> 8), uint8_t(body.size() >> 16), 0});
    out.insert(out.end(), body.begin(), body.end());
}

// A 550 x 400 movie: an empty sprite exported as "box", and one frame's script.
std::vector<uint8_t> ScriptMovie(const std::vector<uint8_t>& script) {
    std::vector<uint8_t> m = {'F', 'W', 'S', 7, 0, 0, 0, 0};
    // RECT with 15-bit fields: 0, 11000, 0, 8000 twips (65 bits).
    std::vector<uint8_t> r(9, 0);
    int pos = 0;
    auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i, ++pos) {
            if (v >> i & 1) {
                r[pos / 8] |= uint8_t(0x80 >> (pos % 8));
            }
        }
    };
    put(15, 5);
    for (uint32_t v : {0u, 11000u, 0u, 8000u}) {
        put(v, 15);
    }
    m.insert(m.end(), r.begin(), r.end());
    m.insert(m.end(), {0, 24, 1, 0});           // 24 fps, one frame
    Tag(m, 39, {1, 0, 1, 0, 0x40, 0, 0, 0});    // DefineSprite 1: ShowFrame, End
    Tag(m, 56, {1, 0, 1, 0, 'b', 'o', 'x', 0}); // ExportAssets
    std::vector<uint8_t> action = script;
    action.push_back(0);
    Tag(m, 12, action);
    Tag(m, 1, {});
    Tag(m, 0, {});
    const uint32_t size = uint32_t(m.size());
    for (int i = 0; i < 4; ++i) {
        m[4 + i] = uint8_t(size >> (8 * i));
    }
    return m;
}

// Script time per frame of the 500 clips when the engine drives them (advance and
// scripts, no drawing).
double EngineFrameMs(int frames) {
    std::vector<uint8_t> script = avm1test::Assemble(kAttach);
    const std::vector<uint8_t> setup = avm1test::Assemble(kSetup);
    script.insert(script.end(), setup.begin(), setup.end());
    const std::vector<uint8_t> movie = ScriptMovie(script);
    engine::Player player;
    player.SetTraceSink([](const char* s) { std::fprintf(stderr, "%s\n", s); });
    if (player.Load(movie.data(), movie.size()) != engine::LoadStatus::Ok) {
        return -1;
    }
    player.Play(0);
    const double t0 = Clock::now();
    for (int f = 1; f <= frames; ++f) {
        player.Tick(uint32_t(f * player.FrameIntervalMs()));
    }
    return (Clock::now() - t0) / frames;
}

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

    const double engineMs = EngineFrameMs(kFrames);
    std::printf("500 attached clips played by the engine: %.3f ms/frame (scripts and "
                "advance, no drawing); target 2 ms: %s\n",
                engineMs, engineMs >= 0 && engineMs < 2 ? "met" : "NOT met");

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
