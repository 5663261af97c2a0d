// What keeps a movie's scripts from hanging, crashing or escaping the saver: budgets,
// recursion and memory limits, malformed action records, garbage, timers and the closed
// doors to the network, files and other programs.
#include "tests/engine/avm1_harness.h"

namespace {

using avm1::RunResult;
using avm1test::Harness;

struct LimitCase {
    const char* name;
    const char* code;
    RunResult result;
};

const LimitCase kLimitCases[] = {
    {"endless loop", "L: jump L", RunResult::Abandoned},
    {"endless recursion", "func f() { push 0 'f'; callfunc; return }; push 0 'f'; callfunc",
     RunResult::TooDeep},
    {"a class that attaches itself",
     "func Bug() { push 1 'x' 'bug' 3 'this'; getvar; push 'attachMovie'; callmethod }; "
     "push 'Bug'; getvar; push 'MovieClip'; getvar; extends; "
     "push 'Bug'; getvar; push 'bug' 2 'Object'; getvar; push 'registerClass'; callmethod; "
     "push 1 'b' 'bug' 3 '_root'; getvar; push 'attachMovie'; callmethod",
     RunResult::TooDeep},
    {"growing array",
     "push 'a' 0; array; setvar; L: push 0 'Object'; new; push 1 'a'; getvar; push 'push'; "
     "callmethod; pop; jump L",
     RunResult::OutOfMemory},
    {"growing string",
     "push 's' 'x'; setvar; L: push 's'; push 's'; getvar; dup; add2; setvar; jump L",
     RunResult::OutOfMemory},
    {"uncaught throw", "push 'oops'; throw; push 'never'; trace", RunResult::Thrown},
    {"jump into an action", "raw 0x99 0x02 0x00 0x01 0x00; push 'x'; trace", RunResult::Malformed},
    {"action longer than the block", "push 'ok'; trace; raw 0x96 0x64 0x00 0x00",
     RunResult::Malformed},
    {"jump past the end ends the block", "raw 0x99 0x02 0x00 0x00 0x10; push 'x'; trace",
     RunResult::Done},
};

TEST(Bounds, ScriptsStopCleanly) {
    avm1::Limits limits;
    limits.instructionsPerFrame = 200000;
    limits.memoryBytes = 1u << 20;
    for (const LimitCase& c : kLimitCases) {
        Harness h(7, limits);
        EXPECT_EQ(h.Run(c.code), c.result) << c.name;
        EXPECT_EQ(h.traces.size(), std::string(c.name) == "action longer than the block" ? 1u : 0u)
            << c.name;
        // The next frame's scripts run again.
        h.vm.EndFrame();
        h.vm.BeginFrame();
        EXPECT_EQ(h.Run("push 'alive'; trace"), RunResult::Done) << c.name;
    }
}

// Malformed records at the decoder: what is kept, and why the rest is dropped.
struct DecodeCase {
    const char* name;
    std::vector<uint8_t> bytes;
    avm1::DecodeStatus status;
    size_t kept; // instructions
};

TEST(Bounds, DecoderKeepsWhatIsWhole) {
    using avm1::DecodeStatus;
    const DecodeCase cases[] = {
        {"push past the block", {0x17, 0x96, 0x10, 0x00, 0x07, 1}, DecodeStatus::Truncated, 1},
        {"length field cut", {0x17, 0x96, 0x10}, DecodeStatus::Truncated, 1},
        {"short payload", {0x17, 0x87, 0x00, 0x00, 0x17}, DecodeStatus::Truncated, 1},
        {"function body past the block",
         {0x9B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x17},
         DecodeStatus::Ok,
         2},
        {"function body ends inside an action",
         {0x9B, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x96, 0x02, 0x00, 0x05, 0x01},
         DecodeStatus::BadBody,
         0},
        {"function2 body ends inside an action",
         {0x8E, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x96, 0x02, 0x00, 0x05,
          0x01},
         DecodeStatus::BadBody,
         0},
        {"with body ends inside an action",
         {0x17, 0x94, 0x02, 0x00, 0x01, 0x00, 0x96, 0x02, 0x00, 0x05, 0x01},
         DecodeStatus::BadBody,
         1},
        {"try sizes past the block",
         {0x8F, 0x08, 0x00, 0x03, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x17},
         DecodeStatus::Ok,
         2},
        {"end action stops", {0x17, 0x00, 0x17}, DecodeStatus::Ok, 1},
    };
    for (const DecodeCase& c : cases) {
        auto block = avm1::DecodeActions(c.bytes.data(), c.bytes.size(), 7);
        EXPECT_EQ(block->status, c.status) << c.name;
        EXPECT_EQ(block->code.size(), c.kept) << c.name;
        // Whatever was kept runs without reading outside it.
        Harness h;
        h.vm.RunBlock(1, block);
    }
}

TEST(Bounds, SpentBudgetSkipsTheRestOfTheFrameAndTimeCounts) {
    avm1::Limits limits;
    limits.instructionsPerFrame = 1000000000;
    limits.millisecondsPerFrame = 50;
    Harness h(7, limits);
    h.vm.SetClock([&h] { return h.now += 0.01; });
    h.vm.BeginFrame();
    EXPECT_EQ(h.Run("L: jump L"), RunResult::Abandoned);
    EXPECT_EQ(h.Run("push 'later'; trace"), RunResult::Abandoned);
    EXPECT_EQ(h.traces.size(), 0u);
    ASSERT_FALSE(h.notices.empty());
    EXPECT_NE(h.notices[0].find("abandoned"), std::string::npos);
    h.vm.BeginFrame();
    EXPECT_EQ(h.Run("push 'later'; trace"), RunResult::Done);
}

// Values handed to ExternalInterface nest as deep as scripts may recurse (256 levels) and no
// deeper: arrays nested `depth` times.
TEST(Bounds, ExternalInterfaceEncodingStopsAtTheRecursionLimit) {
    const struct {
        int depth;
        RunResult result;
    } rows[] = {{257, RunResult::Done}, {258, RunResult::TooDeep}};
    for (const auto& row : rows) {
        Harness h(8);
        EXPECT_EQ(h.Run("push 'a' 0; array; setvar; push 'i' 1; setvar; L: push 'a' 'a'; getvar; "
                        "push 1; array; setvar; push 'i'; push 'i'; getvar; inc; store 0; setvar; "
                        "push r:0 " +
                        std::to_string(row.depth) +
                        "; lt2; if L; push 'a'; getvar; push 1 'flash'; getvar; "
                        "push 'external'; getmember; push 'ExternalInterface'; getmember; "
                        "push '_toXML'; callmethod; pop"),
                  row.result)
            << row.depth;
    }
}

TEST(Bounds, GarbageIncludingCyclesIsFreed) {
    Harness h;
    h.vm.CollectGarbage();
    const size_t baseline = h.vm.heap().Count();
    h.Run("push 'keep' 0; object; setvar; push 'i' 0; setvar; "
          "func make() { push 'a' 0; object; local; push 'a'; getvar; push 'me'; push 'a'; "
          "getvar; setmember }; L: push 0 'make'; callfunc; pop; push 'i'; push 'i'; getvar; "
          "inc; store 0; setvar; push r:0 1000; lt2; if L");
    EXPECT_GT(h.vm.heap().Count(), baseline + 1000);
    h.vm.EndFrame(); // far more than 256 KB of garbage: collected at once
    // What stays: `keep`, `make` with its prototype, and the root clip's object.
    EXPECT_LE(h.vm.heap().Count(), baseline + 4);
    h.Run("push 'keep'; getvar; typeof; trace");
    EXPECT_EQ(h.Traces(), "object");
}

TEST(Timers, IntervalsFollowTheHostClockUntilCleared) {
    Harness h;
    h.Run("push 'id'; push 100; func () { push 'tick'; trace }; push 2 'setInterval'; "
          "callfunc; setvar; push 50; func () { push 'once'; trace }; push 2 'setTimeout'; "
          "callfunc; pop");
    for (double t : {50.0, 99.0, 100.0, 250.0}) {
        h.now = t;
        h.vm.BeginFrame();
    }
    EXPECT_EQ(h.Traces(), "once|tick|tick");
    h.Run("push 'id'; getvar; push 1 'clearInterval'; callfunc");
    h.now = 1000;
    h.vm.BeginFrame();
    EXPECT_EQ(h.Traces(), "once|tick|tick");
}

// A movie keeps at most 1024 timers at once; setInterval past them answers nothing.
TEST(Timers, TheTimerCountIsBounded) {
    Harness h;
    h.Run("push 'i' 0; setvar; L: push 1000; func () { }; push 2 'setInterval'; callfunc; "
          "store 1; pop; push 'i'; push 'i'; getvar; inc; store 0; setvar; push r:0 1024; lt2; "
          "if L; push r:1; typeof; trace; push 1000; func () { }; push 2 'setInterval'; "
          "callfunc; typeof; trace");
    EXPECT_EQ(h.Traces(), "number|undefined");
}

TEST(Sandbox, OutsideRequestsOnlySaySo) {
    Harness h;
    h.Run("geturl 'http://example.com/' '_blank'; geturl 'FSCommand:quit' 'true'; "
          "push 'file.xml' 1 0 'XML'; new; push 'load'; callmethod; trace; "
          "push 'vars.txt' 1 0 'LoadVars'; new; push 'load'; callmethod; pop; "
          "push 0 'x.swf' 2 0 'MovieClipLoader'; new; push 'loadClip'; callmethod; trace; "
          "push 'chan' 1 0 'LocalConnection'; new; push 'connect'; callmethod; pop; "
          "push 'http://x/' 1 'ball' 1 '_root'; getvar; push 'loadMovie'; callmethod; pop; "
          "push 'a.swf' 0; geturl2 0x40");
    EXPECT_EQ(h.Traces(), "true|true");
    std::string all;
    for (const std::string& n : h.notices)
        all += n + "\n";
    for (const char* expected :
         {"getURL blocked: http://example.com/", "fscommand ignored: quit", "XML.load blocked",
          "LoadVars.load blocked", "MovieClipLoader.loadClip blocked: x.swf",
          "LocalConnection.connect blocked", "loadMovie blocked: a.swf"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
}

TEST(Sandbox, SharedObjectLivesInMemory) {
    Harness h;
    h.Run("push 'prefs' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; "
          "push 'data'; getmember; push 'v' 3; setmember");
    h.vm.EndFrame();
    h.Run("push 'prefs' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; "
          "push 'data'; getmember; push 'v'; getmember; trace; push 0 'so'; getvar; trace");
    EXPECT_EQ(h.Traces(), "3|undefined");
}

} // namespace
