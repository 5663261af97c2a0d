// ActionScript 3: the ABC reader's bounds, single instruction families run through the Vm,
// and every shared trace movie played in-process (no crash, a floor on exact matches).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "player/core/avm2/abc.h"
#include "player/core/avm2/vm.h"
#include "player/core/engine.h"

namespace {

// A minimal ABC block: pool strings "", "trace", "x"; namespace package ""; multinames
// QName("", trace), QName("", x); one method with the given body, run as the only script.
struct Abc {
    std::vector<uint8_t> b;
    void U8(uint32_t v) { b.push_back(uint8_t(v)); }
    void U30(uint32_t v) {
        do {
            uint8_t x = v & 0x7F;
            v >>= 7;
            if (v)
                x |= 0x80;
            b.push_back(x);
        } while (v);
    }
    void Str(const char* s) {
        U30(uint32_t(std::strlen(s)));
        b.insert(b.end(), s, s + std::strlen(s));
    }
};

std::vector<uint8_t> Block(const std::vector<uint8_t>& code, uint32_t stringCount = 3,
                           uint32_t exceptions = 0, const std::vector<uint32_t>& handler = {},
                           uint32_t locals = 2) {
    Abc a;
    a.U8(16), a.U8(0), a.U8(46), a.U8(0); // minor, major
    a.U30(0);                             // ints
    a.U30(0);                             // uints
    a.U30(0);                             // doubles
    a.U30(stringCount);
    a.Str("trace");
    a.Str("x");
    a.U30(2); // namespaces
    a.U8(0x16), a.U30(0);
    a.U30(0);                                              // ns sets
    a.U30(3);                                              // multinames
    a.U8(0x07), a.U30(1), a.U30(1);                        // trace
    a.U8(0x07), a.U30(1), a.U30(2);                        // x
    a.U30(1);                                              // methods
    a.U30(0), a.U30(0), a.U30(0), a.U8(0);                 // no params, any return, no name, flags
    a.U30(0);                                              // metadata
    a.U30(0);                                              // classes
    a.U30(1), a.U30(0), a.U30(0);                          // one script: init 0, no traits
    a.U30(1);                                              // bodies
    a.U30(0), a.U30(8), a.U30(locals), a.U30(0), a.U30(4); // method, stack, locals, scopes
    a.U30(uint32_t(code.size()));
    a.b.insert(a.b.end(), code.begin(), code.end());
    a.U30(exceptions);
    for (uint32_t i = 0; i < exceptions; ++i)
        for (uint32_t v : handler)
            a.U30(v);
    a.U30(0); // body traits
    return a.b;
}

struct Outcome {
    std::vector<std::string> lines;
    std::string notices;
    avm2::AbcStatus status;
};

Outcome Execute(const std::vector<uint8_t>& block, avm2::Limits limits = avm2::Limits()) {
    Outcome r;
    avm2::Vm vm(limits);
    vm.SetSink([&](avm2::Channel c, const std::string& s) {
        if (c == avm2::Channel::Trace)
            r.lines.push_back(s);
        else
            r.notices += s + "\n";
    });
    vm.BeginFrame();
    r.status = vm.LoadAbc(block.data(), block.size(), false);
    if (vm.throwing())
        r.lines.push_back("threw " + vm.ToString(vm.TakeThrown()));
    vm.EndFrame();
    return r;
}

// getlocal0, pushscope, findpropstrict trace, <value code>, callpropvoid trace 1, returnvoid
std::vector<uint8_t> TraceOf(std::vector<uint8_t> value) {
    std::vector<uint8_t> code = {0xD0, 0x30, 0x5D, 1};
    code.insert(code.end(), value.begin(), value.end());
    for (uint8_t x : {0x4F, 1, 1, 0x47})
        code.push_back(x);
    return code;
}

TEST(AbcReader, RefusesEachBoundAtItsEdge) {
    const struct {
        const char* what;
        std::vector<uint8_t> block;
        avm2::AbcStatus want;
    } rows[] = {
        {"sound block", Block({0x47}), avm2::AbcStatus::Ok},
        {"string count beyond the bytes", Block({0x47}, 1000000), avm2::AbcStatus::Truncated},
        {"pushstring index = count", Block({0x2C, 3, 0x29, 0x47}), avm2::AbcStatus::BadIndex},
        {"pushstring last index", Block({0x2C, 2, 0x29, 0x47}), avm2::AbcStatus::Ok},
        {"jump to the body's end", Block({0x10, 0x01, 0x00, 0x00, 0x47}), avm2::AbcStatus::Ok},
        {"jump one past the end", Block({0x10, 0x02, 0x00, 0x00, 0x47}), avm2::AbcStatus::BadJump},
        {"jump to the last instruction", Block({0x10, 0x00, 0x00, 0x00, 0x47}),
         avm2::AbcStatus::Ok},
        {"jump into an instruction", Block({0x10, 0x01, 0x00, 0x00, 0x24, 0x01, 0x47}),
         avm2::AbcStatus::BadJump},
        {"backward jump before the start", Block({0x10, 0xF0, 0xFF, 0xFF, 0x47}),
         avm2::AbcStatus::BadJump},
        {"unknown opcode", Block({0xFF, 0x47}), avm2::AbcStatus::BadCode},
        {"instruction cut short", Block({0x24}), avm2::AbcStatus::BadCode},
        {"register = local count", Block({0x62, 2, 0x29, 0x47}), avm2::AbcStatus::BadIndex},
        {"multiname index = count", Block({0x5D, 3, 0x29, 0x47}), avm2::AbcStatus::BadIndex},
        {"handler target outside", Block({0x47}, 3, 1, {0, 1, 5, 0, 0}), avm2::AbcStatus::BadJump},
        {"newcatch without a handler", Block({0x5A, 0, 0x29, 0x47}), avm2::AbcStatus::BadIndex},
    };
    for (const auto& row : rows) {
        avm2::AbcFile f;
        EXPECT_EQ(avm2::ReadAbc(row.block.data(), row.block.size(), &f), row.want) << row.what;
    }
    // Every truncation of a sound block is refused, never read past.
    const std::vector<uint8_t> whole = Block(TraceOf({0x24, 7}));
    for (size_t n = 0; n < whole.size(); ++n) {
        avm2::AbcFile f;
        EXPECT_NE(avm2::ReadAbc(whole.data(), n, &f), avm2::AbcStatus::Ok) << n;
    }
}

TEST(Avm2, InstructionFamilies) {
    const struct {
        const char* what;
        std::vector<uint8_t> value; // leaves one value on the stack
        const char* want;
    } rows[] = {
        {"add", {0x24, 2, 0x24, 3, 0xA0}, "5"},
        {"subtract, multiply, divide",
         {0x24, 7, 0x24, 2, 0xA1, 0x24, 3, 0xA2, 0x24, 2, 0xA3},
         "7.5"},
        {"modulo of negatives", {0x24, 0xF9, 0x24, 3, 0xA4}, "-1"},
        {"int wraps", {0x2D, 0, 0x24, 1, 0xC5}, "1"},
        {"shifts", {0x24, 0xFF, 0x24, 28, 0xA7}, "15"},
        {"bitnot", {0x24, 0, 0x97}, "-1"},
        {"strings concatenate", {0x2C, 1, 0x24, 1, 0xA0}, "trace1"},
        {"divide by zero", {0x24, 1, 0x24, 0, 0xA3}, "Infinity"},
        {"NaN compares false", {0x28, 0x28, 0xAB}, "false"},
        {"strict equality of types", {0x24, 1, 0x2C, 0, 0xAC}, "false"},
        {"loose equality", {0x20, 0x21, 0xAB}, "true"},
        {"typeof", {0x20, 0x95}, "object"},
        {"convert_i truncates", {0x24, 0xF9, 0x24, 2, 0xA3, 0x73}, "-3"},
        {"convert_u wraps", {0x24, 0xFF, 0x74}, "4294967295"},
        {"increment_i", {0x24, 0x7F, 0xC0}, "128"},
        {"new array joins", {0x24, 1, 0x24, 2, 0x56, 2}, "1,2"},
        {"local store and load", {0x24, 9, 0xD5, 0xD1}, "9"},
        {"branch taken", {0x26, 0x11, 2, 0, 0, 0x24, 1, 0x24, 4}, "4"},
        {"branch not taken", {0x27, 0x11, 2, 0, 0, 0x24, 1, 0x24, 4, 0xA0}, "5"},
        {"lookupswitch",
         {0x24, 1, 0x1B, 11, 0, 0, 1, 11, 0, 0, 17, 0, 0, 0x24, 8, 0x10, 2, 0, 0, 0x24, 6},
         "6"},
    };
    for (const auto& row : rows) {
        const Outcome r = Execute(Block(TraceOf(row.value)));
        ASSERT_EQ(r.status, avm2::AbcStatus::Ok) << row.what;
        ASSERT_EQ(r.lines.size(), 1u) << row.what << ": " << r.notices;
        EXPECT_EQ(r.lines[0], row.want) << row.what;
    }
}

TEST(Avm2, ThrowIsCaughtByItsHandler) {
    // try { throw 5 } catch (e) { trace(e) }: the handler covers the throw.
    const std::vector<uint8_t> code = {0xD0, 0x30,       // 0: scope
                                       0x24, 5,    0x03, // 2: throw 5
                                       0x47,             // 5
                                       0xD5,             // 6: handler, keep the value
                                       0xD0, 0x30, 0x5D, 1, 0xD1, 0x4F, 1, 1, 0x47};
    const Outcome r = Execute(Block(code, 3, 1, {2, 5, 6, 0, 0}));
    ASSERT_EQ(r.lines.size(), 1u) << r.notices;
    EXPECT_EQ(r.lines[0], "5");
}

TEST(Avm2, HostileCodeStaysInItsBudget) {
    avm2::Limits limits;
    limits.instructionsPerFrame = 100000;
    // An endless loop ends at the budget instead of hanging.
    Outcome r = Execute(Block({0x09, 0x10, 0xFB, 0xFF, 0xFF, 0x47}), limits);
    EXPECT_EQ(r.status, avm2::AbcStatus::Ok);
    // An allocation bomb: arrays pushed into one array forever ends at the memory cap.
    limits.memoryBytes = 4u << 20;
    limits.instructionsPerFrame = 50'000'000;
    // An allocation bomb: a = [a] forever ends at the memory cap.
    const std::vector<uint8_t> bomb = {0x20, 0xD5, 0x09, 0xD1, 0x56, 1,
                                       0xD5, 0x10, 0xF7, 0xFF, 0xFF, 0x47};
    r = Execute(Block(bomb), limits);
    EXPECT_EQ(r.status, avm2::AbcStatus::Ok);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(std::string text) {
    std::string clean;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            clean += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            clean += text[i];
        }
    }
    while (!clean.empty() && clean.back() == '\n')
        clean.pop_back();
    std::vector<std::string> out;
    std::stringstream ss(clean);
    std::string line;
    while (std::getline(ss, line))
        out.push_back(line);
    if (clean.empty())
        out.push_back("");
    return out;
}

// Every shared ActionScript 3 trace movie plays in-process; a floor on exact matches keeps
// what works from slipping back.
TEST(Avm2, SharedTraceMoviesPlay) {
    const char* override = std::getenv("FLICKWELL_SHARED_MOVIES"); // the folder elsewhere
    const std::string dir =
        std::string(override ? override : FLICKWELL_MOVIES_DIR) + "/as3-traces/";
    std::ifstream manifest(dir + "MANIFEST.tsv");
    if (!manifest)
        GTEST_SKIP() << "no shared movies at " << dir;
    std::string line;
    int movies = 0, exact = 0;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#' || line.compare(0, 5, "name\t") == 0)
            continue;
        std::stringstream row(line);
        std::string name, frames;
        std::getline(row, name, '\t');
        std::getline(row, frames, '\t');
        const std::string bytes = ReadFile(dir + name + ".swf");
        std::string got;
        engine::Player player;
        player.SetTraceSink([&](const char* l) { got += std::string(l) + "\n"; });
        player.Load(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        player.Play(0);
        const uint32_t interval = player.FrameIntervalMs();
        for (long f = 1; f < std::atol(frames.c_str()); ++f)
            player.Tick(uint32_t(f * interval));
        ++movies;
        exact += Lines(got) == Lines(ReadFile(dir + name + ".output.txt"));
    }
    std::printf("%d of %d as3 trace movies exact\n", exact, movies);
    EXPECT_GE(exact, 105); // 114 reached; the margin absorbs movies that read the clock
}

} // namespace
