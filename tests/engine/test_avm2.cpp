// ActionScript 3: the ABC reader's bounds, single instruction families run through the Vm,
// and every shared trace movie played in-process (no crash; the listed ones trace exactly).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
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
    for (uint8_t x : value) // not insert(): GCC 12 warns falsely about its copy's bounds
        code.push_back(x);
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
        // A constant outside its pool refuses only its method, when called (below).
        {"pushstring index = count", Block({0x2C, 3, 0x29, 0x47}), avm2::AbcStatus::Ok},
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
        {"multiname index = count", Block({0x5D, 3, 0x29, 0x47}), avm2::AbcStatus::Ok},
        {"handler target outside", Block({0x47}, 3, 1, {0, 1, 5, 0, 0}), avm2::AbcStatus::BadJump},
        {"newcatch without a handler", Block({0x5A, 0, 0x29, 0x47}), avm2::AbcStatus::BadIndex},
    };
    for (const auto& row : rows) {
        avm2::AbcFile f;
        EXPECT_EQ(avm2::ReadAbc(row.block.data(), row.block.size(), &f), row.want) << row.what;
    }
    // A number takes at most five bytes, though the fifth says more follow.
    std::vector<uint8_t> five = Block({0x47});
    five.insert(five.begin() + 4, {0x80, 0x80, 0x80, 0x80});
    five[8] = 0x80;
    avm2::AbcFile f;
    EXPECT_EQ(avm2::ReadAbc(five.data(), five.size(), &f), avm2::AbcStatus::Ok);
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
        {"int wraps", {0x24, 0, 0x24, 1, 0xC5}, "1"},
        {"shifts", {0x24, 0xFF, 0x24, 28, 0xA7}, "15"},
        {"bitnot", {0x24, 0, 0x97}, "-1"},
        {"strings concatenate", {0x2C, 1, 0x24, 1, 0xA0}, "trace1"},
        {"divide by zero", {0x24, 1, 0x24, 0, 0xA3}, "Infinity"},
        // No dispatch ids are kept: the verifier's answer to early binding.
        {"callmethod",
         {0x20, 0x43, 0x05, 0x00},
         "threw VerifyError: Error #1051: Illegal early binding access."},
        {"NaN compares false", {0x28, 0x28, 0xAB}, "false"},
        {"strict equality of types", {0x24, 1, 0x2C, 1, 0xAC}, "false"},
        // Constants outside their pools (entry 0 of a value's pool too) refuse the method.
        {"pushstring 0",
         {0x2C, 0},
         "threw VerifyError: Error #1032: Cpool index 0 is out of range 3."},
        {"pushstring = count",
         {0x2C, 3},
         "threw VerifyError: Error #1032: Cpool index 3 is out of range 3."},
        {"pushstring last", {0x2C, 2}, "x"},
        {"pushint 0",
         {0x2D, 0},
         "threw VerifyError: Error #1032: Cpool index 0 is out of range 1."},
        {"pushdouble 1",
         {0x2F, 1},
         "threw VerifyError: Error #1032: Cpool index 1 is out of range 1."},
        {"getlex = count",
         {0x60, 3},
         "threw VerifyError: Error #1032: Cpool index 3 is out of range 3."},
        {"loose equality", {0x20, 0x21, 0xAB}, "true"},
        {"typeof", {0x20, 0x95}, "object"},
        {"convert_i truncates", {0x24, 0xF9, 0x24, 2, 0xA3, 0x73}, "-3"},
        {"convert_u wraps", {0x24, 0xFF, 0x74}, "4294967295"},
        {"increment_i", {0x24, 0x7F, 0xC0}, "128"},
        {"new array joins", {0x24, 1, 0x24, 2, 0x56, 2}, "1,2"},
        {"local store and load", {0x24, 9, 0xD5, 0xD1}, "9"},
        {"branch taken", {0x26, 0x11, 2, 0, 0, 0x24, 1, 0x24, 4}, "4"},
        {"branch not taken", {0x27, 0x11, 2, 0, 0, 0x24, 1, 0x24, 4, 0xA0}, "5"},
        // "trace" <= "x": ifle on strings jumps over the 1.
        {"ifle on strings",
         {0x24, 0, 0x2C, 1, 0x2C, 2, 0x16, 2, 0, 0, 0x24, 1, 0x24, 4, 0xA0},
         "4"},
        {"lookupswitch",
         {0x24, 1, 0x1B, 11, 0, 0, 1, 11, 0, 0, 17, 0, 0, 0x24, 8, 0x10, 2, 0, 0, 0x24, 6},
         "6"},
        // A pair pushed and stored away again stays out of the object made below it.
        {"newobject takes only its pairs",
         {0x2C, 1, 0x24, 1, 0x2C, 2, 0x24, 5, 0xD5, 0xD5, 0x55, 1, 0x66, 2},
         "undefined"},
        // Below applytype 2 lie only trace's receiver and one value: a base short. Were it
        // run, the trace after it would print 7.
        {"applytype short of its base",
         {0x24, 1, 0x53, 2, 0x5D, 1, 0x24, 7},
         "threw VerifyError: Error #1024: Stack underflow occurred."},
    };
    for (const auto& row : rows) {
        const Outcome r = Execute(Block(TraceOf(row.value)));
        ASSERT_EQ(r.status, avm2::AbcStatus::Ok) << row.what;
        ASSERT_EQ(r.lines.size(), 1u) << row.what << ": " << r.notices;
        EXPECT_EQ(r.lines[0], row.want) << row.what;
    }
}

TEST(Avm2, ThrowIsCaughtByItsHandler) {
    // try { throw 5 } catch (e) { trace(e) }: the handler covers the throw at offset 4 when
    // its range [from, to) holds it.
    const std::vector<uint8_t> code = {0xD0, 0x30,       // 0: scope
                                       0x24, 5,    0x03, // 2: throw 5
                                       0x47,             // 5
                                       0xD5,             // 6: handler, keep the value
                                       0xD0, 0x30, 0x5D, 1, 0xD1, 0x4F, 1, 1, 0x47};
    const struct {
        uint32_t from, to;
        const char* want;
    } ranges[] = {{2, 5, "5"}, {4, 5, "5"}, {2, 4, "threw 5"}, {5, 6, "threw 5"}};
    for (const auto& range : ranges) {
        const Outcome r = Execute(Block(code, 3, 1, {range.from, range.to, 6, 0, 0}));
        ASSERT_EQ(r.lines.size(), 1u) << r.notices;
        EXPECT_EQ(r.lines[0], range.want) << range.from << ".." << range.to;
    }
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
    // Found by the fuzzer: a class initialiser that defines its own class again, without
    // end, is a call like any other and stops at the call depth, not at the thread's stack.
    std::ifstream in(FLICKWELL_FUZZ_FINDINGS_DIR "/avm2_class_init_recursion.abc",
                     std::ios::binary);
    const std::vector<uint8_t> recursion{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(recursion.empty());
    r = Execute(recursion, avm2::Limits());
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], "threw Error: Error #1023: Stack overflow occurred.");
}

// One call per row through a block made for it: `self` is a global class ("Math"), a quoted
// string literal, "new Class" (constructed with `ctor`), or "" for a global function; a
// method ".name" reads that property instead of calling. Push
// items: integers, numbers with a point, 'strings', NaN, null, undefined, true, false, and
// json:TEXT for JSON.parse(TEXT), fn:NAME for a global function, of:CLASS:ITEM for ITEM
// instanceof CLASS. The trace shows the result.
struct As3Call {
    const char* self;
    const char* method;
    std::vector<std::string> args;
    const char* want;
    std::vector<std::string> ctor = {};
    // Calls on the new object first ("=name" sets a property to the one argument).
    std::vector<std::pair<std::string, std::vector<std::string>>> prep = {};
};

class CallBlock {
  public:
    std::vector<uint8_t> Build(const As3Call& c) {
        std::vector<uint8_t> code = {0xD0, 0x30, 0x5D};
        U30(&code, Name("trace"));
        const std::string self = c.self;
        if (self.empty()) {
            code.push_back(0x5D);
            U30(&code, Name(c.method));
        } else if (self[0] == '\'') {
            Push(&code, self);
        } else if (self.compare(0, 4, "new ") == 0) {
            code.push_back(0x5D);
            U30(&code, Name(self.substr(4)));
            for (const std::string& a : c.ctor)
                Push(&code, a);
            code.push_back(0x4A);
            U30(&code, Name(self.substr(4)));
            U30(&code, uint32_t(c.ctor.size()));
            for (const auto& call : c.prep) {
                code.push_back(0x2A); // dup
                for (const std::string& a : call.second)
                    Push(&code, a);
                if (call.first[0] == '=') {
                    code.push_back(0x61);
                    U30(&code, Name(call.first.substr(1)));
                } else {
                    code.push_back(0x4F);
                    U30(&code, Name(call.first));
                    U30(&code, uint32_t(call.second.size()));
                }
            }
        } else {
            code.push_back(0x60);
            U30(&code, Name(self));
        }
        const std::string method = c.method;
        if (method[0] == '.') { // a property read
            code.push_back(0x66);
            U30(&code, Name(method.substr(1)));
        } else {
            for (const std::string& a : c.args)
                Push(&code, a);
            code.push_back(0x46);
            U30(&code, Name(method));
            U30(&code, uint32_t(c.args.size()));
        }
        code.push_back(0x4F);
        U30(&code, Name("trace"));
        code.push_back(1);
        code.push_back(0x47);
        return Assemble(code);
    }

  private:
    static void U30(std::vector<uint8_t>* b, uint32_t v) {
        do {
            uint8_t x = v & 0x7F;
            v >>= 7;
            b->push_back(uint8_t(x | (v ? 0x80 : 0)));
        } while (v);
    }
    uint32_t String(const std::string& s) {
        for (size_t i = 0; i < strings_.size(); ++i)
            if (strings_[i] == s)
                return uint32_t(i + 2);
        strings_.push_back(s);
        return uint32_t(strings_.size() + 1); // pool index 1 is ""
    }
    // "pkg::name" names a package's public name; a bare name the top level's.
    uint32_t Name(const std::string& n) {
        const size_t colons = n.find("::");
        const std::string pkg = colons == std::string::npos ? "" : n.substr(0, colons);
        const uint32_t local = String(colons == std::string::npos ? n : n.substr(colons + 2));
        uint32_t ns = 1;
        while (ns <= packages_.size() && packages_[ns - 1] != pkg)
            ++ns;
        if (ns > packages_.size())
            packages_.push_back(pkg);
        for (size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == std::make_pair(ns, local))
                return uint32_t(i + 1);
        names_.emplace_back(ns, local);
        return uint32_t(names_.size());
    }
    void Push(std::vector<uint8_t>* code, const std::string& a) {
        if (a[0] == '\'') {
            code->push_back(0x2C);
            U30(code, String(a.substr(1, a.size() - 2)));
        } else if (a.compare(0, 5, "json:") == 0) {
            code->push_back(0x60);
            U30(code, Name("JSON"));
            code->push_back(0x2C);
            U30(code, String(a.substr(5)));
            code->push_back(0x46);
            U30(code, Name("parse"));
            U30(code, 1);
        } else if (a.compare(0, 2, "i:") ==
                   0) { // i:N, pushint of N's 32 bits as a compiler writes them
            ints_.push_back(uint32_t(std::strtoll(a.c_str() + 2, nullptr, 10)));
            code->push_back(0x2D);
            U30(code, uint32_t(ints_.size()));
        } else if (a.compare(0, 3, "re:") == 0 || a.compare(0, 3, "ri:") == 0) {
            // re:PATTERN, a new RegExp; ri:PATTERN, one that ignores case
            const bool fold = a[1] == 'i';
            code->push_back(0x5D);
            U30(code, Name("RegExp"));
            code->push_back(0x2C);
            U30(code, String(a.substr(3)));
            if (fold) {
                code->push_back(0x2C);
                U30(code, String("i"));
            }
            code->push_back(0x4A);
            U30(code, Name("RegExp"));
            U30(code, fold ? 2 : 1);
        } else if (a.compare(0, 3, "of:") == 0) {
            const size_t colon = a.find(':', 3);
            Push(code, a.substr(colon + 1));
            code->push_back(0x60);
            U30(code, Name(a.substr(3, colon - 3)));
            code->push_back(0xB1);
        } else if (a.compare(0, 3, "fn:") == 0) {
            code->push_back(0x60);
            U30(code, Name(a.substr(3)));
        } else if (a == "NaN" || a == "null" || a == "undefined" || a == "true" || a == "false") {
            code->push_back(a == "NaN"         ? 0x28
                            : a == "null"      ? 0x20
                            : a == "undefined" ? 0x21
                            : a == "true"      ? 0x26
                                               : 0x27);
        } else {
            doubles_.push_back(std::strtod(a.c_str(), nullptr));
            code->push_back(0x2F);
            U30(code, uint32_t(doubles_.size()));
        }
    }
    std::vector<uint8_t> Assemble(const std::vector<uint8_t>& code) {
        std::vector<uint8_t> b = {16, 0, 46, 0};
        U30(&b, uint32_t(ints_.size() + 1));
        for (uint32_t v : ints_)
            U30(&b, v);
        b.push_back(0); // uints
        U30(&b, uint32_t(doubles_.size() + 1));
        for (double d : doubles_) {
            uint8_t raw[8];
            std::memcpy(raw, &d, 8);
            b.insert(b.end(), raw, raw + 8);
        }
        std::vector<uint32_t> packageNames;
        for (const std::string& p : packages_)
            packageNames.push_back(p.empty() ? 1 : String(p));
        U30(&b, uint32_t(strings_.size() + 2)); // string 1 is "", the top level's package
        U30(&b, 0);
        for (const std::string& s : strings_) {
            U30(&b, uint32_t(s.size()));
            b.insert(b.end(), s.begin(), s.end());
        }
        U30(&b, uint32_t(packages_.size() + 1));
        for (uint32_t p : packageNames)
            b.push_back(0x16), U30(&b, p);
        b.push_back(0); // ns sets
        U30(&b, uint32_t(names_.size() + 1));
        for (const auto& n : names_)
            b.push_back(0x07), U30(&b, n.first), U30(&b, n.second);
        for (uint8_t x : {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 8, 2, 0, 4})
            b.push_back(x); // one method, no metadata or classes, one script, its body head
        U30(&b, uint32_t(code.size()));
        b.insert(b.end(), code.begin(), code.end());
        b.push_back(0), b.push_back(0);
        return b;
    }
    std::vector<std::string> strings_;
    std::vector<std::string> packages_;
    std::vector<std::pair<uint32_t, uint32_t>> names_; // namespace, local name
    std::vector<double> doubles_;
    std::vector<uint32_t> ints_;
};

const As3Call kAs3Calls[] = {
    // A primitive is an instance of its own class only.
    {"", "Boolean", {"of:Number:5"}, "true"},
    {"", "Boolean", {"of:String:5"}, "false"},
    {"", "Boolean", {"of:Object:null"}, "false"},
    {"", "parseInt", {"'0x1F'"}, "31"},
    {"", "parseInt", {"'012'"}, "12"},
    {"", "parseInt", {"'-z'", "36"}, "-35"},
    {"", "parseInt", {"'11'", "1"}, "NaN"},
    {"", "parseInt", {"'11'", "37"}, "NaN"},
    {"", "parseInt", {"'11'", "36"}, "37"},
    {"", "parseInt", {"'19'", "9"}, "1"},
    {"", "parseInt", {"'  7 '"}, "7"},
    {"", "parseInt", {"''"}, "NaN"},
    {"", "parseFloat", {"'abc'"}, "NaN"},
    {"", "parseFloat", {"'-1.5e3x'"}, "-1500"},
    {"", "parseFloat", {"'2e'"}, "2"},
    {"", "parseFloat", {"' 1.25 '"}, "1.25"},
    {"", "isNaN", {"'x'"}, "true"},
    // escape and unescape work on UTF-16 units: two hex digits below 256, %u above.
    {"", "escape", {"'aZ9 \xc3\xa9@'"}, "aZ9%20%E9@"},
    {"", "escape", {"'\xc3\xbf\xc4\x80'"}, "%FF%u0100"},
    {"", "escape", {"'\xf0\x9f\x98\x8a'"}, "%uD83D%uDE0A"},
    {"", "unescape", {"'%E9%u20AC%u20a'"}, "\xc3\xa9\xe2\x82\xac%u20a"},
    {"", "unescape", {"'%uD83D%uDE0A'"}, "\xf0\x9f\x98\x8a"},
    // escapeMultiByte: UTF-8 bytes, letters and digits kept, U+0000 ends the text.
    {"", "flash.utils::escapeMultiByte", {"'a-\xc3\xa9'"}, "a%2D%C3%A9"},
    {"", "flash.utils::escapeMultiByte", {}, "undefined"},
    {"", "flash.utils::escapeMultiByte", {"'\xed\xa0\x80'"}, "%EF%BF%BD"}, // a lone half
    {"", "flash.utils::unescapeMultiByte", {"'%4f%C3%A9'"}, "O\xc3\xa9"},
    {"", "flash.utils::unescapeMultiByte", {"'%GA'"}, "A"},
    {"", "flash.utils::unescapeMultiByte", {"'%AG!'"}, "!"},
    {"", "flash.utils::unescapeMultiByte", {"'%A'"}, ""},
    {"", "flash.utils::unescapeMultiByte", {"'%C3'"}, "\xc3\x83"}, // a bad byte as Latin-1
    {"", "isFinite", {"'1e400'"}, "false"},
    {"Math", "atan2", {"1", "2"}, "0.4636476090008061"},
    {"Math", "atan2", {"2", "1"}, "1.1071487177940904"},
    {"Math", "pow", {"2", "10"}, "1024"},
    {"Math", "max", {}, "-Infinity"},
    {"Math", "min", {}, "Infinity"},
    {"Math", "min", {"2", "NaN", "1"}, "NaN"},
    {"Math", "max", {"-1", "3", "2"}, "3"},
    {"Math", "round", {"-2.5"}, "-2"},
    {"Math", "round", {"2.5"}, "3"},
    {"Math", "abs", {"-0.5"}, "0.5"},
    {"'hello'", "substr", {"-3", "2"}, "ll"},
    {"'hello'", "substr", {"1"}, "ello"},
    {"'hello'", "substring", {"4", "1"}, "ell"},
    {"'hello'", "substring", {"-1", "2"}, "he"},
    {"'hello'", "slice", {"-3", "-1"}, "ll"},
    {"'hello'", "slice", {"2"}, "llo"},
    {"'hello'", "charAt", {"5"}, ""},
    {"'hello'", "charCodeAt", {"5"}, "NaN"},
    {"'hello'", "charCodeAt", {"4"}, "111"},
    {"'hello'", "indexOf", {"'l'", "3"}, "3"},
    {"'hello'", "indexOf", {"''", "9"}, "5"},
    {"'hello'", "lastIndexOf", {"'l'", "2"}, "2"},
    {"'hello'", "lastIndexOf", {"'o'", "3"}, "-1"},
    {"'a,b,,c'", "split", {"','"}, "a,b,,c"},
    {"'a,b,,c'", "split", {"','", "2"}, "a,b"},
    {"'aBc'", "toUpperCase", {}, "ABC"},
    // Flash's case table: dotless i and long s raise to ASCII, sharp s stays, the edges of
    // the Latin-1 run, a character beyond the BMP untouched.
    {"'\xc4\xb1\xc5\xbf\xc3\x9f\xc3\xbf\xc3\xa0\xc3\xbe'",
     "toUpperCase",
     {},
     "IS\xc3\x9f\xc5\xb8\xc3\x80\xc3\x9e"},
    {"'\xc4\xb0\xe2\x84\xaa\xc3\x80\xc3\x9e\xc3\x97'",
     "toLowerCase",
     {},
     "ik\xc3\xa0\xc3\xbe\xc3\x97"},
    {"'a\xf0\x9f\x98\x8b'", "toUpperCase", {}, "A\xf0\x9f\x98\x8b"},
    {"'h\xf0\x9f\x98\x80!'", "charAt", {"3"}, "!"},
    {"'h\xf0\x9f\x98\x80!'", "charCodeAt", {"1"}, "55357"},
    {"'abc'", "concat", {"1", "null"}, "abc1null"},
    {"'a-b-c'", "replace", {"'-'", "'+'"}, "a+b-c"},
    {"'hello'", "replace", {"'l'", "'[$`]'"}, "he[he]lo"},
    {"'hello'", "replace", {"'l'", "'[$\']'"}, "he[lo]lo"},
    {"'hello'", "replace", {"'o'", "'[$\']'"}, "hell[]"},
    // search() takes a string as a pattern and answers positions in UTF-16 units.
    {"'xAA'", "search", {"'(A)(A)'"}, "1"},
    {"'xy'", "search", {"'.y'"}, "0"},
    {"'xab'", "search", {"'a(?#note)b'"}, "1"},
    {"'xab'", "match", {"'(?P<first>a)b'"}, "ab,a"},
    {"'\xc3\xa9"
     "1'",
     "search",
     {"'1'"},
     "1"},
    {"'\xf0\x9f\x98\x8b"
     "x'",
     "search",
     {"'x'"},
     "2"},
    // A null or undefined search string finds nothing; an undefined bound is 0, not the end.
    {"'a null'", "indexOf", {"null"}, "-1"},
    {"'undefined'", "indexOf", {"undefined"}, "-1"},
    {"'undefined'", "indexOf", {}, "0"},
    {"'a null'", "lastIndexOf", {"null"}, "-1"},
    {"'hello'", "slice", {"1", "undefined"}, ""},
    {"'hello'", "substr", {"1", "undefined"}, ""},
    {"'hello'", "substring", {"3", "undefined"}, "hel"},
    {"'hello'", "substring", {"3"}, "lo"},
    {"'b'", "localeCompare", {"'a'"}, "1"},
    {"'aaaaaa'", "localeCompare", {"'aaaazz'"}, "-25"},
    {"'aaaaa'", "localeCompare", {"'aaaaaa'"}, "-1"},
    {"'abc'", "localeCompare", {}, "-20"},
    {"'\xf0\x9f\x98\x8b'", "localeCompare", {"'a'"}, "55260"},
    {"new Number", "toString", {"16"}, "ff", {"255"}},
    {"new Number", "toString", {"2"}, "-101", {"-5"}},
    {"new Number", "toString", {"36"}, "z", {"35"}},
    {"new Number", "toString", {"2"}, "10.11", {"2.75"}},
    {"new Number", "toString", {"16"}, "-ff.8", {"-255.5"}},
    {"new Number", "toFixed", {"2"}, "1.01", {"1.005001"}},
    {"new Number", "toFixed", {"0"}, "-3", {"-2.5001"}},
    {"new Number", "toExponential", {"2"}, "1.23e+5", {"123456"}},
    {"new Number", "toExponential", {"1"}, "1.5e-7", {"0.00000015"}},
    {"new Number", "toExponential", {"1"}, "1.5e+0", {"1.5"}},
    {"new Number", "toPrecision", {"3"}, "0.00123", {"0.001234"}},
    {"new Number", "toPrecision", {"2"}, "1.2e+3", {"1234"}},
    {"JSON",
     "stringify",
     {"json:{\"a\":[1,null,\"x\\\"y\"],\"b\":true}"},
     "{\"a\":[1,null,\"x\\\"y\"],\"b\":true}"},
    {"JSON", "stringify", {"json: [ 1 , 2 ]\n"}, "[1,2]"},
    {"JSON", "stringify", {"fn:trace"}, "undefined"},
    {"JSON", "stringify", {"undefined"}, "undefined"},
    // A replacer given must be a function, an array or null.
    {"JSON", "stringify", {"json:[1]", "null"}, "[1]"},
    {"JSON",
     "stringify",
     {"json:[1]", "undefined"},
     "threw TypeError: Error #1131: Replacer argument to JSON stringifier must be an array or a "
     "two parameter function."},
    {"JSON",
     "stringify",
     {"json:[1]", "'k'"},
     "threw TypeError: Error #1131: Replacer argument to JSON stringifier must be an array or a "
     "two parameter function."},
    {"JSON", "stringify", {"json:[1,[2]]", "null", "2"}, "[\n  1,\n  [\n    2\n  ]\n]"},
    {"JSON", "stringify", {"json:[1]", "null", "'abcdefghijkl'"}, "[\nabcdefghij1\n]"},
    {"JSON", "stringify", {"json:{\"k\":-1.5e2}"}, "{\"k\":-150}"},
    {"JSON", "stringify", {"'\xc3\xa9\n\\'"}, "\"\xc3\xa9\\n\\\\\""},
    // TextFormat's constructor fills its properties in their order.
    {"new flash.text::TextFormat", ".italic", {}, "true", {"null", "null", "null", "null", "true"}},
    {"new flash.text::TextFormat",
     ".underline",
     {},
     "null",
     {"null", "null", "null", "null", "true"}},
    // QName: "uri::name", the bare name in the public namespace, "*::" for any.
    {"new QName", "toString", {}, "a::b", {"'a'", "'b'"}},
    {"new QName", "toString", {}, "b", {"''", "'b'"}},
    {"new QName", "toString", {}, "b", {"'b'"}},
    {"new QName", "toString", {}, "*::b", {"null", "'b'"}},
    {"new QName", "toString", {}, "", {}},
    {"new Date", "getMilliseconds", {}, "456", {"2000", "1", "29", "13", "14", "15", "456"}},
    {"new Date", "getDay", {}, "2", {"2000", "1", "29"}},
    {"new Date", ".millisecondsUTC", {}, "456", {"2000", "1", "29", "13", "14", "15", "456"}},
    {"new Date", "getMonth", {}, "0", {"2000", "12", "1"}},
    // A year from 0 to 99 means the 1900s; 100 is taken as written.
    {"new Date", "getFullYear", {}, "1999", {"99", "0", "1"}},
    {"new Date", "getFullYear", {}, "100", {"100", "0", "1"}},
    {"Date", "UTC", {"2000", "0", "1"}, "946684800000"},
    // Listeners: added, removed only with the same capture flag, counted per type.
    {"new flash.events::EventDispatcher",
     "hasEventListener",
     {"'x'"},
     "true",
     {},
     {{"addEventListener", {"'x'", "fn:trace"}}}},
    {"new flash.events::EventDispatcher",
     "hasEventListener",
     {"'y'"},
     "false",
     {},
     {{"addEventListener", {"'x'", "fn:trace"}}}},
    {"new flash.events::EventDispatcher",
     "hasEventListener",
     {"'x'"},
     "false",
     {},
     {{"addEventListener", {"'x'", "fn:trace"}}, {"removeEventListener", {"'x'", "fn:trace"}}}},
    {"new flash.events::EventDispatcher",
     "hasEventListener",
     {"'x'"},
     "true",
     {},
     {{"addEventListener", {"'x'", "fn:trace", "true"}},
      {"removeEventListener", {"'x'", "fn:trace"}}}},
    {"new flash.events::EventDispatcher",
     "hasEventListener",
     {"'x'"},
     "false",
     {},
     {{"addEventListener", {"'x'", "fn:trace", "true"}},
      {"removeEventListener", {"'x'", "fn:trace", "true"}}}},
    {"new flash.events::EventDispatcher",
     "willTrigger",
     {"'x'"},
     "true",
     {},
     {{"addEventListener", {"'x'", "fn:trace"}}}},
    // ByteArray: a byte written by index grows it up to the element limit; one past stops
    // the scripts as out of memory, so nothing is traced.
    {"new flash.utils::ByteArray", ".length", {}, "16777216", {}, {{"=16777215", {"1"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "threw undefined", {}, {{"=16777216", {"1"}}}},
    // ByteArray: each read's width and order, at the end of the bytes.
    {"new flash.utils::ByteArray",
     "readByte",
     {},
     "3",
     {},
     {{"writeShort", {"258"}}, {"writeByte", {"3"}}, {"=position", {"0"}}, {"readShort", {}}}},
    {"new flash.utils::ByteArray",
     "readShort",
     {},
     "-2",
     {},
     {{"writeShort", {"-2"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readUnsignedShort",
     {},
     "65534",
     {},
     {{"writeShort", {"-2"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readByte",
     {},
     "4",
     {},
     {{"writeInt", {"1"}}, {"writeByte", {"4"}}, {"=position", {"0"}}, {"readInt", {}}}},
    {"new flash.utils::ByteArray",
     "readUnsignedInt",
     {},
     "4294967295",
     {},
     {{"writeInt", {"-1"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readByte",
     {},
     "1",
     {},
     {{"=endian", {"'littleEndian'"}}, {"writeInt", {"1"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readDouble",
     {},
     "1.5",
     {},
     {{"writeDouble", {"1.5"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readFloat",
     {},
     "-0.25",
     {},
     {{"writeFloat", {"-0.25"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readUTFBytes",
     {"2"},
     "bc",
     {},
     {{"writeUTFBytes", {"'abc'"}}, {"=position", {"1"}}}},
    {"new flash.utils::ByteArray",
     "readUTFBytes",
     {"5"},
     "ab",
     {},
     {{"writeUTFBytes",
       {"'\xef\xbb\xbf"
        "ab'"}},
      {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readUTF",
     {},
     "h\xc3\xa9",
     {},
     {{"writeUTF", {"'h\xc3\xa9'"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readShort",
     {},
     "EOF",
     {},
     {{"writeByte", {"1"}}, {"=position", {"0"}}}},
    // AMF3: an integer takes 1 to 4 bytes up to 29 bits, beyond it a double; values come back.
    {"new flash.utils::ByteArray", ".length", {}, "2", {}, {{"writeObject", {"127"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "3", {}, {{"writeObject", {"128"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "3", {}, {{"writeObject", {"16383"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "4", {}, {{"writeObject", {"16384"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "4", {}, {{"writeObject", {"2097151"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "5", {}, {{"writeObject", {"2097152"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "5", {}, {{"writeObject", {"268435455"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "9", {}, {{"writeObject", {"268435456"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "5", {}, {{"writeObject", {"-268435456"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "9", {}, {{"writeObject", {"-268435457"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "9", {}, {{"writeObject", {"0.5"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "5", {}, {{"writeObject", {"'abc'"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "2", {}, {{"writeObject", {"''"}}}},
    {"new flash.utils::ByteArray", ".length", {}, "1", {}, {{"writeObject", {"null"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "268435455",
     {},
     {{"writeObject", {"268435455"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "-268435456",
     {},
     {{"writeObject", {"-268435456"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "268435456",
     {},
     {{"writeObject", {"268435456"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "1,a,,2",
     {},
     {{"writeObject", {"json:[1,\"a\",null,[2]]"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray", "readObject", {}, "EOF", {}, {}},
    // AMF0: only 0 and 3 are encodings; under 0 a value is written behind the switch to AMF3.
    {"new flash.utils::ByteArray", ".objectEncoding", {}, "0", {}, {{"=objectEncoding", {"0"}}}},
    {"new flash.utils::ByteArray", ".objectEncoding", {}, "3", {}, {{"=objectEncoding", {"1"}}}},
    {"new flash.utils::ByteArray",
     ".length",
     {},
     "3",
     {},
     {{"=objectEncoding", {"0"}}, {"writeObject", {"127"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "1,a",
     {},
     {{"=objectEncoding", {"0"}}, {"writeObject", {"json:[1,\"a\"]"}}, {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "2.5",
     {},
     {{"=objectEncoding", {"0"}},
      {"writeByte", {"0"}},
      {"writeDouble", {"2.5"}},
      {"=position", {"0"}}}},
    {"new flash.utils::ByteArray",
     "readObject",
     {},
     "EOF",
     {},
     {{"=objectEncoding", {"0"}},
      {"writeByte", {"0"}},
      {"writeFloat", {"2.5"}},
      {"=position", {"0"}}}},
    {"new Date", "hasOwnProperty", {"'getTime'"}, "false", {"0"}},
    {"new Date", "hasOwnProperty", {"'time'"}, "true", {"0"}},
    {"new Date", "hasOwnProperty", {"'nothing'"}, "false", {"0"}},
    {"new Array", "hasOwnProperty", {"'length'"}, "true", {}},
    {"new Array", "hasOwnProperty", {"'1'"}, "true", {"5", "6"}},
    {"new Array", "hasOwnProperty", {"'2'"}, "false", {"5", "6"}},
    {"new Array", "sort", {"4"}, "0", {"3", "1", "3"}},
    {"new Array", "sort", {"4"}, "1,2,3", {"3", "1", "2"}},
    {"new Array", "propertyIsEnumerable", {"'length'"}, "false", {}},
    // Holes: made by a length, a write past the end or a delete; owned and listed only when set.
    {"new Array", "hasOwnProperty", {"'0'"}, "false", {"3"}},
    {"new Array", "hasOwnProperty", {"'0'"}, "true", {"undefined"}},
    {"new Array", "hasOwnProperty", {"'1'"}, "false", {}, {{"=2", {"7"}}}},
    {"new Array", "hasOwnProperty", {"'2'"}, "true", {}, {{"=2", {"7"}}}},
    {"new Array", "hasOwnProperty", {"'3'"}, "false", {}, {{"=2", {"7"}}}},
    {"new Array", "hasOwnProperty", {"'0'"}, "false", {}, {{"=length", {"2"}}}},
    {"new Array", "propertyIsEnumerable", {"'1'"}, "false", {}, {{"=2", {"7"}}}},
    {"new Array", ".length", {}, "3", {}, {{"=2", {"7"}}}},
    {"new Array", "splice", {}, "undefined", {"1", "2"}},
    {"new Array", "splice", {"0", "1"}, "1", {"1", "2"}},
    // An error records the methods running where it was made, innermost first.
    {"new Error", "getStackTrace", {}, "Error: x\n\tat global$init()", {"'x'"}},
    {"", "Error", {"'y'"}, "Error: y"},
    {"flash.trace::Trace", "getLevel", {"2"}, "0", {}, {}},
    {"flash.trace::Trace", ".LISTENER", {}, "2"},
    // Vector types by name, with or without their package, nested.
    {"", "flash.utils::getDefinitionByName", {"'Vector.<int>'"}, "[class Vector.<int>]"},
    {"",
     "flash.utils::getDefinitionByName",
     {"'__AS3__.vec::Vector.<Vector.<String>>'"},
     "[class Vector.<__AS3__.vec::Vector.<String>>]"},
    {"", "flash.utils::getDefinitionByName", {"'Vector.<*>'"}, "[class Vector.<*>]"},
    {"",
     "flash.utils::getDefinitionByName",
     {"'Vector.<Nope>'"},
     "threw ReferenceError: Error #1065: Variable Vector.<Nope> is not defined."},
    // Function() and new Function() make an empty function, which a movie may construct.
    {"", "Function", {}, "function Function() {}"},
    {"new Function", "call", {"null"}, "undefined"},
    // Integer constants: a short form's top bit is a value bit, only five bytes go negative.
    {"Math", "max", {"i:1048575"}, "1048575"},
    {"Math", "max", {"i:1048576"}, "1048576"},
    {"Math", "max", {"i:1234567"}, "1234567"},
    {"Math", "max", {"i:2097152"}, "2097152"},
    {"Math", "max", {"i:2147483647"}, "2147483647"},
    {"Math", "max", {"i:-1"}, "-1"},
    {"Math", "max", {"i:-2147483648"}, "-2147483648"},
    // Sorting: each partition size sorted directly (2, 3) and one split (4); undefined last.
    {"new Array", "sort", {"16"}, "1,2,,", {}, {{"=3", {"1"}}, {"=1", {"2"}}}},
    {"new Array", "sort", {}, ",,", {"3"}},
    {"new Array", "sort", {}, "1,2", {"2", "1"}},
    {"new Array", "sort", {}, "1,2,3", {"3", "2", "1"}},
    {"new Array", "sort", {}, "1,2,3", {"2", "3", "1"}},
    {"new Array", "sort", {}, "1,2,3,4", {"4", "3", "2", "1"}},
    {"new Array", "sort", {"16"}, "2,3,10,,", {"10", "undefined", "3", "undefined", "2"}},
    {"new Array", "sort", {"18"}, "10,3,2", {"2", "10", "3"}},
    {"new Array", "sort", {"16"}, "-268435456,268435455", {"268435455", "-268435456"}},
    // split's limit: the captures stop at it, the next piece of text still comes.
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "0"}, ""},
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "1"}, "a"},
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "2"}, "a,X,b"},
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "3"}, "a,X,Y,b"},
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "4"}, "a,X,Y,b"},
    {"'aXYbXYc'", "split", {"re:(X)(Y)", "5"}, "a,X,Y,b,X"},
    {"'aXYbXYc'", "split", {"re:(X)(Y)"}, "a,X,Y,b,X,Y,c"},
    // Case folded into a class's range at both of its ends, and not past them.
    {"'xAy'", "search", {"ri:[a-c]"}, "1"},
    {"'xCy'", "search", {"ri:[a-c]"}, "1"},
    {"'xDy'", "search", {"ri:[a-c]"}, "-1"},
    {"'xay'", "search", {"ri:[A-C]"}, "1"},
    {"'abc'", "hasOwnProperty", {"'length'"}, "true"},
    {"Date", "parse", {"'Tue Feb 29 13:14:15 GMT+0000 2000'"}, "951830055000"},
    {"Date", "parse", {"'02/29/2000 13:14:15 GMT-0100'"}, "951833655000"},
    {"Date", "parse", {"'Tue Feb 29 13:14:15 GMT+0130 2000'"}, "951824655000"},
    {"Date", "parse", {"'Tue Feb 29 13:14 GMT+0000 2000'"}, "951830040000"},
    {"Date", "parse", {"'Feb 29 2000 GMT+0000'"}, "951782400000"},
    // Date.parse: each date form, the year/day split at 70, a field given twice or missing.
    {"Date", "parse", {"'2000/02/29 GMT'"}, "951782400000"},
    {"Date", "parse", {"'Feb/29/2000 GMT'"}, "951782400000"},
    {"Date", "parse", {"'Sat, Feb 29, 2000 GMT'"}, "951782400000"},
    {"Date", "parse", {"'Feb 29 2000 1:02:03 PM GMT'"}, "951829323000"},
    {"Date", "parse", {"'Jan 1 70 GMT'"}, "0"},
    {"Date", "parse", {"'Jan 1 69 GMT'"}, "NaN"},
    {"Date", "parse", {"'Feb 29 GMT'"}, "NaN"},
    {"Date", "parse", {"'29 2000 GMT'"}, "NaN"},
    {"Date", "parse", {"'Feb 29 2000 GMT GMT'"}, "NaN"},
    {"Date", "parse", {"'Feb 29 2000 soon GMT'"}, "NaN"},
    {"Date", "parse", {"'Feb 29 2000 1:02 3:04 GMT'"}, "NaN"},
    {"Date", "parse", {"'Feb 29 2000 GMT+01:00'"}, "NaN"},
    // Date.UTC: years 0 to 99 are of the 1900s, 100 is itself.
    {"Date", "UTC", {"99", "0"}, "915148800000"},
    {"Date", "UTC", {"100", "0"}, "-59011459200000"},
    {"Date", "UTC", {"-1", "0"}, "-62198755200000"},
};

TEST(Avm2, BuiltinCalls) {
    for (const As3Call& c : kAs3Calls) {
        CallBlock block;
        const Outcome r = Execute(block.Build(c));
        ASSERT_EQ(r.status, avm2::AbcStatus::Ok) << c.self << "." << c.method;
        const std::string got = r.lines.size() == 1 ? r.lines[0] : "(" + r.notices + ")";
        EXPECT_EQ(got.find("#2030") != std::string::npos ? "EOF" : got, c.want)
            << c.self << "." << c.method << "(" << (c.args.empty() ? "" : c.args[0]) << ")";
    }
}

// Vm::AddNatives: each kind of table row becomes the binding it names, instance or static,
// an accessor keeping whichever of its getter and setter it has.
avm2::Value NativeProbe(avm2::Vm&, const avm2::Value&, avm2::Value*, int) {
    return avm2::Value();
}

TEST(Avm2, NativeTablesMakeTheBindingsTheyName) {
    using avm2::Binding;
    static const avm2::Native natives[] = {
        avm2::Fn("method", NativeProbe),
        avm2::StaticFn("staticMethod", NativeProbe),
        avm2::Accessor("both", NativeProbe, NativeProbe),
        avm2::Accessor("getOnly", NativeProbe),
        avm2::Accessor("setOnly", nullptr, NativeProbe),
        avm2::StaticAccessor("staticGet", NativeProbe),
        avm2::ProtoFn("onPrototype", NativeProbe),
    };
    const struct {
        const char* name;
        bool isStatic;
        Binding::K k;
        bool getter, setter;
    } want[] = {
        {"method", false, Binding::Method, false, false},
        {"staticMethod", true, Binding::Method, false, false},
        {"both", false, Binding::Accessor, true, true},
        {"getOnly", false, Binding::Accessor, true, false},
        {"setOnly", false, Binding::Accessor, false, true},
        {"staticGet", true, Binding::Accessor, true, false},
    };
    avm2::Vm vm;
    avm2::ClassInfo* c =
        vm.DefineClass("", "NativesProbe", vm.objectClass, avm2::Kind::Plain, nullptr);
    vm.AddNatives(c, natives);
    for (const auto& w : want) {
        const Binding* b = (w.isStatic ? c->stat : c->inst).FindAny(w.name);
        ASSERT_NE(b, nullptr) << w.name;
        EXPECT_EQ((w.isStatic ? c->inst : c->stat).FindAny(w.name), nullptr) << w.name;
        EXPECT_EQ(b->k, w.k) << w.name;
        if (w.k == Binding::Method) {
            ASSERT_NE(b->method, nullptr) << w.name;
            EXPECT_EQ(b->method->isStatic, w.isStatic) << w.name;
            EXPECT_EQ(b->method->owner, c) << w.name;
        } else {
            EXPECT_EQ(b->getter != nullptr, w.getter) << w.name;
            EXPECT_EQ(b->setter != nullptr, w.setter) << w.name;
        }
    }
    // A prototype method is a dynamic property there, no trait of the class.
    EXPECT_EQ(c->inst.FindAny("onPrototype"), nullptr);
    EXPECT_EQ(c->stat.FindAny("onPrototype"), nullptr);
    EXPECT_TRUE(vm.Get(avm2::Value::Obj(c->prototype), "onPrototype").IsObject());
}

// A ByteArray grows to 64 MB at most, the engine's own cap: a write past it throws #1000,
// out of memory, which a script can catch, and the array stays as it was.
TEST(Avm2, ByteArrayStopsGrowingAt64Megabytes) {
    using avm2::Value;
    avm2::Vm vm;
    const Value bytes = vm.ConstructClass(vm.Builtin("ByteArray"), nullptr, 0);
    vm.Set(bytes, "position", Value::Num(64 << 20));
    Value one = Value::Num(1);
    vm.CallMethod(bytes, "writeByte", &one, 1);
    ASSERT_TRUE(vm.throwing());
    EXPECT_EQ(1000, vm.ToNumber(vm.Get(vm.TakeThrown(), "errorID")));
    EXPECT_EQ(0, vm.ToNumber(vm.Get(bytes, "length")));
}

// Local fields follow the machine's zone: an hour east of UTC, the last half hour of January
// in UTC is already February.
TEST(Avm2, DateLocalFieldsFollowTheZone) {
    const char* was = std::getenv("TZ");
    const std::string saved = was ? was : "";
    setenv("TZ", "XXX-1", 1);
    tzset();
    const As3Call rows[] = {
        {"new Date", ".month", {}, "1", {"949361400000"}},
        {"new Date", ".monthUTC", {}, "0", {"949361400000"}},
        {"new Date", ".hours", {}, "0", {"949361400000"}},
        {"new Date", ".timezoneOffset", {}, "-60", {"949361400000"}},
    };
    for (const As3Call& c : rows) {
        CallBlock block;
        const Outcome r = Execute(block.Build(c));
        EXPECT_EQ(r.lines.size() == 1 ? r.lines[0] : r.notices, c.want) << c.method;
    }
    was ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

// trace() writes what Flash's log shows: carriage returns break lines, surrogates kept in
// their three-byte forms join when they pair and show as U+FFFD alone.
TEST(Avm2, TraceWritesTheLogsText) {
    const struct {
        const char* arg;
        const char* want;
    } rows[] = {
        {"'a\rb'", "a\nb"},
        {"'a\r\nb'", "a\n\nb"},
        {"'\xed\xa0\xbd'", "\xef\xbf\xbd"},                         // lone high
        {"'\xed\xb8\x80x'", "\xef\xbf\xbdx"},                       // lone low
        {"'\xed\xa0\xbd\xed\xb8\x80'", "\xf0\x9f\x98\x80"},         // a pair
        {"'\xed\xb8\x80\xed\xa0\xbd'", "\xef\xbf\xbd\xef\xbf\xbd"}, // low first
        {"'\xed\xa0'", "\xed\xa0"},                                 // cut short: not a surrogate
    };
    for (const auto& row : rows) {
        CallBlock block;
        const Outcome r = Execute(block.Build(As3Call{"", "trace", {row.arg}, ""}));
        ASSERT_EQ(r.lines.size(), 2u) << row.arg << r.notices;
        EXPECT_EQ(r.lines[0], row.want) << row.arg;
    }
}

// Strings order by their UTF-16 units: a character above U+FFFF sorts before U+E000-U+FFFF.
TEST(Avm2, StringsOrderByUtf16Units) {
    const struct {
        const char* a;
        const char* b;
        bool less;
    } rows[] = {
        {"A", "B", true},
        {"ab", "abc", true},
        {"abc", "ab", false},
        {"ab", "ab", false},
        {"", "a", true},
        {"\xef\xbd\xa1", "\xf0\x90\x80\x82", false}, // U+FF61, U+10002
        {"\xf0\x90\x80\x82", "\xef\xbd\xa1", true},
        {"\xed\x9f\xbf", "\xf0\x90\x80\x80", true}, // U+D7FF below any pair
        {"x\xf0\x90\x80\x81", "x\xf0\x90\x80\x80", false},
        {"\xed\xa0\x80", "\xf0\x90\x80\x80", true}, // a lone D800 before D800 DC00
    };
    for (const auto& row : rows)
        EXPECT_EQ(avm2::Utf16Less(row.a, row.b), row.less) << row.a << " < " << row.b;
}

// setTimeout calls once, setInterval on each frame it falls due, both with their arguments;
// each bound of the delay at its edge.
TEST(Avm2, TimersFallDueOnceOrAgain) {
    const struct {
        const char* method;
        const char* delay;
        int ticks; // "tick" lines over frames at 5, 15, ... 45 ms
    } rows[] = {{"flash.utils::setTimeout", "10", 1},  {"flash.utils::setInterval", "10", 4},
                {"flash.utils::setInterval", "40", 1}, {"flash.utils::setInterval", "45", 1},
                {"flash.utils::setInterval", "46", 0}, {"flash.utils::setInterval", "0", 5}};
    for (const auto& row : rows) {
        CallBlock block;
        const std::vector<uint8_t> abc =
            block.Build(As3Call{"", row.method, {"fn:trace", row.delay, "'tick'"}, ""});
        double now = 0;
        int ticks = 0;
        avm2::Vm vm;
        vm.SetClock([&now] { return now; });
        vm.SetSink([&ticks](avm2::Channel, const std::string& s) { ticks += s == "tick"; });
        vm.BeginFrame();
        ASSERT_EQ(vm.LoadAbc(abc.data(), abc.size(), false), avm2::AbcStatus::Ok);
        vm.EndFrame();
        for (now = 5; now < 50; now += 10) {
            vm.BeginFrame();
            vm.RunTimers();
            vm.EndFrame();
        }
        EXPECT_EQ(ticks, row.ticks) << row.method << " " << row.delay;
    }
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

// The movie names listed in a trace folder's exact list (one a line, '#' starts a comment).
std::vector<std::string> ExactList(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        if (!line.empty())
            names.push_back(line);
    }
    return names;
}

// Every shared ActionScript 3 trace movie plays in-process, and each one on the exact list
// still traces exactly what Flash Player did.
TEST(Avm2, SharedTraceMoviesPlay) {
    const char* override = std::getenv("FLICKWELL_SHARED_MOVIES"); // the folder elsewhere
    const std::string dir =
        std::string(override ? override : FLICKWELL_MOVIES_DIR) + "/as3-traces/";
    std::ifstream manifest(dir + "MANIFEST.tsv");
    if (!manifest)
        GTEST_SKIP() << "no shared movies at " << dir;
    const std::vector<std::string> listed =
        ExactList(std::string(FLICKWELL_TRACE_LISTS_DIR) + "/as3-traces.txt");
    EXPECT_GT(listed.size(), 100u) << "the exact list is missing or cut short";
    std::set<std::string> exact, played;
    std::string line;
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
        played.insert(name);
        if (Lines(got) == Lines(ReadFile(dir + name + ".output.txt")))
            exact.insert(name);
    }
    for (const std::string& name : listed) {
        EXPECT_TRUE(played.count(name)) << name << " is listed but not in the manifest";
        EXPECT_TRUE(exact.count(name)) << name << " no longer traces exactly";
    }
    std::printf("%zu of %zu as3 trace movies exact\n", exact.size(), played.size());
    for (const std::string& name : exact)
        if (std::find(listed.begin(), listed.end(), name) == listed.end())
            std::printf("exact but not listed: %s\n", name.c_str());
}

// Our own movie of language corners (tools/as3/Edges.hx, compiled by Haxe) traces what
// Flash Player does, line for line.
TEST(Avm2, EdgeMovieTracesAsFlashDoes) {
    const std::string dir = FLICKWELL_OWN_MOVIES_DIR "/";
    const std::string bytes = ReadFile(dir + "as3_edges.swf");
    std::string got;
    engine::Player player;
    player.SetTraceSink([&](const char* l) { got += std::string(l) + "\n"; });
    ASSERT_EQ(engine::LoadStatus::Ok,
              player.Load(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    player.Play(0);
    const std::vector<std::string> want = Lines(ReadFile(dir + "as3_edges.output.txt")),
                                   lines = Lines(got);
    ASSERT_FALSE(want.empty());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(want[i], i < lines.size() ? lines[i] : "(missing)") << "line " << i + 1;
    EXPECT_EQ(want.size(), lines.size());
}

} // namespace
