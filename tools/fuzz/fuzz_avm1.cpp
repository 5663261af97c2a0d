// libFuzzer target for the ActionScript interpreter: the first byte picks the movie
// version, the rest is an action block run as frame actions, as a clip event handler and
// after timers, for two frames, against a fake display list with two clips. Small budgets
// keep each run short; the limits themselves are the same code.
//
// Setting up the built-ins costs far more under AddressSanitizer than running a block, so
// each version's Vm serves 256 inputs before it is rebuilt (scripts may change globals in
// between, which only widens what later inputs meet). A crash found this way is rerun alone
// on a fresh Vm with AVM1_FUZZ_FRESH=1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "player/core/avm1/vm.h"
#include "tests/engine/avm1_fake_display.h"

namespace {

struct World {
    explicit World(int version) : vm(&display, version, Limits()) {
        avm1::ClipId ball = display.NewClip(1, "ball", 1);
        display.NewClip(ball, "inner", 1);
        display.vm = &vm;
        vm.SetClock([this] { return now; });
        vm.SetWallClock([] { return 1136073600000.0; });
        vm.SetSink([](avm1::Channel, const std::string&) {});
    }
    static avm1::Limits Limits() {
        avm1::Limits limits;
        limits.instructionsPerFrame = 250;
        limits.memoryBytes = 4u << 20;
        limits.maxStringBytes = 64u << 10;
        limits.millisecondsPerFrame = 1e9; // the instruction budget decides, so runs repeat
        return limits;
    }
    avm1test::FakeDisplay display;
    avm1::Vm vm;
    double now = 0;
    int uses = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static std::unique_ptr<World> worlds[5];
    static const bool fresh = std::getenv("AVM1_FUZZ_FRESH") != nullptr;
    std::unique_ptr<World>& world = worlds[data[0] % 5];
    if (!world || fresh || ++world->uses >= 256)
        world = std::make_unique<World>(4 + data[0] % 5);
    avm1::ClipId ball = world->display.Child(1, "ball", true);
    // Decoded here, not through RunActions' cache: libFuzzer reuses its input buffer.
    auto block = avm1::DecodeActions(data + 1, size - 1, world->vm.version());
    for (int frame = 0; frame < 2; frame++) {
        world->now += 40;
        world->vm.BeginFrame();
        world->vm.RunBlock(frame == 1 && ball ? ball : 1, block);
        if (ball)
            world->vm.DispatchClipEvent(ball, avm1::ClipEvent::EnterFrame);
        world->vm.DispatchClipEvent(1, avm1::ClipEvent::EnterFrame);
        world->vm.EndFrame();
    }
    return 0;
}
