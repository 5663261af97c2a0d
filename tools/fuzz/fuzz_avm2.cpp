// libFuzzer target for ActionScript 3: any bytes as an ABC block, read and checked, then
// run as a movie's script with timers and two frames' collection. Small budgets keep each
// run short; the limits themselves are the same code.
//
// Setting up the built-ins costs far more under AddressSanitizer than running a block, so a
// Vm serves 256 inputs before it is rebuilt (blocks add definitions in between, which only
// widens what later inputs meet). A crash found this way is rerun alone on a fresh Vm with
// AVM2_FUZZ_FRESH=1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "player/core/avm2/vm.h"

namespace {

avm2::Limits SmallLimits() {
    avm2::Limits limits;
    limits.instructionsPerFrame = 20000;
    limits.millisecondsPerFrame = 1e9; // the instruction budget decides, so runs repeat
    limits.memoryBytes = 8u << 20;
    limits.maxStringBytes = 256u << 10;
    limits.maxElements = 1u << 16;
    return limits;
}

struct World {
    World() : vm(SmallLimits()) {
        vm.SetClock([this] { return now; });
        vm.SetSink([](avm2::Channel, const std::string&) {});
    }
    avm2::Vm vm;
    double now = 0;
    int uses = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<World> world;
    static const bool fresh = std::getenv("AVM2_FUZZ_FRESH") != nullptr;
    if (!world || fresh || ++world->uses >= 256)
        world = std::make_unique<World>();
    for (int frame = 0; frame < 2; ++frame) {
        world->now += 40;
        world->vm.BeginFrame();
        if (frame == 0)
            world->vm.LoadAbc(data, size, false);
        world->vm.RunTimers();
        world->vm.EndFrame();
        world->vm.CollectGarbage();
    }
    return 0;
}
