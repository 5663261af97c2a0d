// The language as scripts see it: values and conversions under each version's rules, the
// stack machine's actions and the core built-ins, as trace output of small action blocks.
#include <cctype>

#include "tests/engine/avm1_harness.h"

namespace {

struct Case {
    const char* name;
    int version;
    const char* code;
    const char* expected; // trace lines joined by |
};

const Case kCases[] = {
    {"arithmetic", 7,
     "push 1 2; add2; trace; push 'a' 1; add2; trace; push 7 2; mod; trace; push 1 3; div; "
     "trace; push 0.1 0.2; add2; trace; push 123456789012.0 -0.5; add2; trace",
     "3|a1|1|0.333333333333333|0.3|123456789011.5"},
    {"undefined below 7", 6,
     "push 'u'; getvar; push 1; add2; trace; push 'x:'; push 'u'; getvar; add2; trace", "1|x:"},
    {"undefined in 7", 7,
     "push 'u'; getvar; push 1; add2; trace; push 'x:'; push 'u'; getvar; add2; trace",
     "NaN|x:undefined"},
    {"names fold case below 7", 6, "push 'Foo' 5; setvar; push 'foo'; getvar; trace", "5"},
    {"names keep case in 7", 7, "push 'Foo' 5; setvar; push 'foo'; getvar; trace", "undefined"},
    {"string truth below 7", 6, "push 'abc'; not; trace; push '2'; not; trace", "true|false"},
    {"string truth in 7", 7, "push 'abc'; not; trace; push ''; not; trace", "false|true"},
    {"constant pool and registers", 7,
     "pool 'a' 'b'; push c:0 10; setvar; push c:0; getvar; store 1; pop; push r:1 c:1; add2; "
     "trace; push c:5; trace; push 1; store 9; pop; push r:9; trace",
     "10b|undefined|undefined"},
    {"function", 7,
     "func add(a, b) { push 'a'; getvar; push 'b'; getvar; add2; return }; "
     "push 3 2 2 'add'; callfunc; trace",
     "5"},
    {"function2 registers", 7,
     "func2 f 4 0x01 (2:x, 3:y) { push r:2 r:3; mul; return }; push 4 3 2 'f'; callfunc; trace",
     "12"},
    {"function2 preloads", 7,
     "func2 g 4 0x144 () { push r:1 'length'; getmember; trace; push r:2; targetpath; trace; "
     "push r:3 'Math'; getmember; typeof; trace }; push 8 7 2 'g'; callfunc",
     "2|_level0|object"},
    {"closure", 7,
     "func make() { push 'n' 0; local; func () { push 'n'; push 'n'; getvar; inc; setvar; "
     "push 'n'; getvar; return }; return }; "
     "push 'c' 0 'make'; callfunc; setvar; push 0 'c'; callfunc; pop; push 0 'c'; callfunc; "
     "trace; push 'n'; getvar; trace",
     "2|undefined"},
    {"with", 7,
     "push 'o' 'x' 5 1; object; setvar; push 'o'; getvar; with { push 'x'; getvar; trace; "
     "push 'x' 7; setvar }; push 'o'; getvar; push 'x'; getmember; trace",
     "5|7"},
    {"try catch finally", 7,
     "try e { push 'boom'; throw } catch { push 'e'; getvar; trace } finally { push 'fin'; "
     "trace }; push 'after'; trace",
     "boom|fin|after"},
    {"throw through a call", 7,
     "func thrower() { push 'x'; throw }; try r:1 { push 0 'thrower'; callfunc; push 'no'; "
     "trace } catch { push r:1; trace }",
     "x"},
    {"finally after return", 7,
     "func f() { try { push 'r'; return } finally { push 'fin'; trace } }; push 0 'f'; "
     "callfunc; trace",
     "fin|r"},
    {"enumerate newest first", 7,
     "push 'o' 0; object; setvar; push 'o'; getvar; push 'a' 1; setmember; push 'o'; getvar; "
     "push 'b' 2; setmember; push 'o'; enum; L: store 0; push null; eq2; if E; push r:0; "
     "trace; jump L; E: push 'end'; trace",
     "b|a|end"},
    {"classes, super, instanceof", 7,
     "func A(v) { push 'this'; getvar; push 'v'; push 'v'; getvar; setmember }; "
     "push 'A'; getvar; push 'prototype'; getmember; push 'hello'; "
     "func () { push 'A:'; push 'this'; getvar; push 'v'; getmember; add2; return }; setmember; "
     "func B(v) { push 'v'; getvar; push 1 'super'; getvar; push undef; callmethod; pop }; "
     "push 'B'; getvar; push 'A'; getvar; extends; "
     "push 'b' 9 1 'B'; new; setvar; push 0 'b'; getvar; push 'hello'; callmethod; trace; "
     "push 'b'; getvar; push 'A'; getvar; instanceof; trace",
     "A:9|true"},
    {"implements and cast", 7,
     "func I() {}; func C() {}; push 'I'; getvar; push 1 'C'; getvar; implements; "
     "push 'o' 0 'C'; new; setvar; push 'o'; getvar; push 'I'; getvar; instanceof; trace; "
     "push 'I'; getvar; push 'o'; getvar; cast; typeof; trace; "
     "push 'I'; getvar; push 0; object; cast; trace",
     "true|object|null"},
    {"addProperty", 7,
     "push 'o' 0 'Object'; new; setvar; "
     "func (v) { push 'set '; push 'v'; getvar; add2; trace }; func () { push 42; return }; "
     "push 'p' 3 'o'; getvar; push 'addProperty'; callmethod; pop; "
     "push 'o'; getvar; push 'p'; getmember; trace; push 'o'; getvar; push 'p' 5; setmember",
     "42|set 5"},
    {"__proto__", 7,
     "push 'a' 0 'Object'; new; setvar; push 'a'; getvar; push 'k' 'inherited'; setmember; "
     "push 'b' 0; object; setvar; push 'b'; getvar; push '__proto__'; push 'a'; getvar; "
     "setmember; push 'b'; getvar; push 'k'; getmember; trace",
     "inherited"},
    {"flash 4 string and number ops", 4,
     "push 'hello' 2 3; substr; trace; push 'abc'; strlen; trace; push 'a' 'b'; strcat; trace; "
     "push 'b' 'a'; strlt; trace; push 65; chr; trace; push 'A'; ord; trace; push 1 0; div; "
     "trace; push 5.7; toint; trace; push 'x' 0; eq; trace",
     "ell|3|ab|0|A|65|#ERROR#|5|1"},
    {"array", 7,
     "push 2 1 3 3; array; store 1; pop; push 0 r:1 'sort'; callmethod; pop; "
     "push '-' 1 r:1 'join'; callmethod; trace; push 4 1 r:1 'push'; callmethod; trace; "
     "push 3 1 2 r:1 'slice'; callmethod; trace; "
     "push 100 9 10 3; array; store 2; pop; push 0 r:2 'sort'; callmethod; trace; "
     "push 18 1 r:2 'sort'; callmethod; trace; "
     "func (a, b) { push 'a'; getvar; push 'b'; getvar; sub; return }; push 1 r:2 'sort'; "
     "callmethod; trace; push r:2 'length'; getmember; trace",
     "1-2-3|4|2,3|10,100,9|100,10,9|9,10,100|3"},
    {"string", 7,
     "push 'Hello'; store 1; pop; push 1 1 r:1 'charAt'; callmethod; trace; "
     "push 'l' 1 r:1 'indexOf'; callmethod; trace; push 3 1 2 r:1 'substr'; callmethod; trace; "
     "push 0 r:1 'toUpperCase'; callmethod; trace; push r:1 'length'; getmember; trace; "
     "push ',' 1 'a,b,c' 'split'; callmethod; push 'length'; getmember; trace; "
     "push 105 72 2 'String'; getvar; push 'fromCharCode'; callmethod; trace",
     "e|2|ell|HELLO|5|3|Hi"},
    {"math and number", 7,
     "push 7 3 2 'Math'; getvar; push 'max'; callmethod; trace; "
     "push -1.5 1 'Math'; getvar; push 'floor'; callmethod; trace; "
     "push -2.5 1 'Math'; getvar; push 'round'; callmethod; trace; "
     "push 16 1 255 'toString'; callmethod; trace; push '0x1F' 1 'parseInt'; callfunc; trace; "
     "push '12px' 1 'parseInt'; callfunc; trace; push 'abc' 1 'isNaN'; callfunc; trace; "
     "push '3.5' 1 'Number'; callfunc; push 1; add2; trace",
     "7|-2|-2|ff|31|12|true|4.5"},
    {"typeof", 7,
     "func f() {}; push 'f'; getvar; typeof; trace; push '_root'; getvar; typeof; trace; "
     "push null; typeof; trace; push 's'; typeof; trace",
     "function|movieclip|null|string"},
    {"call and apply", 7,
     "func f(a) { push 'this'; getvar; push 'tag'; getmember; push 'a'; getvar; add2; return }; "
     "push 'o' 'tag' 'T' 1; object; setvar; "
     "push 1 'o'; getvar; push 2 'f'; getvar; push 'call'; callmethod; trace; "
     "push 2 1; array; push 'o'; getvar; push 2 'f'; getvar; push 'apply'; callmethod; trace",
     "T1|T2"},
    {"date", 7,
     "push 0 'Date'; new; store 1; pop; push 0 r:1 'getFullYear'; callmethod; trace; "
     "push 29 1 2000 3 'Date'; new; store 2; pop; push 0 r:2 'getDate'; callmethod; trace; "
     "push 0 r:2 'getMonth'; callmethod; trace; push 0 r:2 'getDay'; callmethod; trace",
     "2006|29|1|2"},
    {"equality and bits", 7,
     "push 1 '1'; eq2; trace; push 1 '1'; stricteq; trace; push null undef; eq2; trace; "
     "push 5 3; band; trace; push -1 28; ushr; trace; push 1 31; shl; trace; "
     "push '5'; inc; trace; push 'a' 1; lt2; trace",
     "true|false|true|1|15|-2147483648|6|undefined"},
    {"delete", 7,
     "push 'o' 'a' 1 1; object; setvar; push 'o'; getvar; push 'a'; delete; trace; "
     "push 'o'; getvar; push 'a'; getmember; trace; push 'o'; delete2; trace; "
     "push 'o'; getvar; trace",
     "true|undefined|true|undefined"},
    // ASSetPropFlags' version bits: 0x500 hides in 6, not in 7; a hidden name still
    // enumerates, and an assignment brings it back.
    {"version flags hide in 6", 6,
     "push 'o' 'x' 1 1; object; setvar; push 0 256 'x' 'o'; getvar; push 4 'ASSetPropFlags'; "
     "callfunc; pop; push 'o'; getvar; push 'x'; getmember; trace; push 'o'; getvar; "
     "push 'x' 2; setmember; push 'o'; getvar; push 'x'; getmember; trace",
     "undefined|2"},
    {"version flags show in 7", 7,
     "push 'o' 'x' 1 1; object; setvar; push 0 1280 'x' 'o'; getvar; push 4 'ASSetPropFlags'; "
     "callfunc; pop; push 'o'; getvar; push 'x'; getmember; trace; push 0 4096 'x' 'o'; "
     "getvar; push 4 'ASSetPropFlags'; callfunc; pop; push 'o'; getvar; push 'x'; getmember; "
     "trace",
     "1|undefined"},
    {"NaN equals NaN", 7,
     "push 'NaN'; getvar; push 'NaN'; getvar; eq2; trace; push 'NaN'; getvar; push 'NaN'; "
     "getvar; stricteq; trace; push 0 1; div; push 0 1; div; eq2; trace",
     "true|true|true"},
    {"Object() boxes", 7,
     "push 1 1 'Object'; callfunc; typeof; trace; push 1 1 'Object'; callfunc; push 1; eq2; "
     "trace; push 0 'Object'; callfunc; typeof; trace",
     "object|true|object"},
    {"bare _global", 7,
     "push '_global'; getvar; push '__proto__'; getmember; trace; push '_global'; getvar; "
     "push null; eq2; trace; push 'x' '_global'; getvar; add2; trace",
     "undefined|true|xundefined"},
    {"comparisons with objects", 6,
     "push 0 0; object; push 0; lt2; trace; push 0 0; object; lt2; trace; "
     "push 'b' 'a'; lt2; trace; push 'NaN'; getvar; push 1; lt2; trace",
     "false|false|false|undefined"},
    {"flash 4 strings", 4,
     "push '150a' 300; add; trace; push '0x10' 1; add; trace; push 'NaN'; getvar; typeof; trace",
     "450|1|undefined"},
    {"functions use flash 5 rules in 4", 4,
     "func f() { push 1 1; eq2; trace; push 4 0; div; trace }; push 0 'f'; callfunc; pop; "
     "push 4 0; div; trace",
     "true|Infinity|#ERROR#"},
    {"call and apply without this", 7,
     "func f() { push 'this'; getvar; push '_global'; getvar; stricteq; trace; "
     "push 'arguments'; getvar; push 'length'; getmember; trace }; "
     "push undef 1 'f'; getvar; push 'call'; callmethod; pop; "
     "push 'a' 'length' 2 0 'x' 1 'y' 3; object; setvar; "
     "push 'a'; getvar; push null 2 'f'; getvar; push 'apply'; callmethod; pop",
     "true|0|true|2"},
    {"__resolve", 7,
     "push 'o' 0; object; setvar; push 'o'; getvar; push '__resolve'; func (n) { push 'r:'; "
     "push 'n'; getvar; add2; return }; setmember; push 'o'; getvar; push 'zz'; getmember; "
     "trace; push 'o'; getvar; push '__resolve' 42; setmember; push 'o'; getvar; push 'zz'; "
     "getmember; trace",
     "r:zz|undefined"},
    {"watch sees and changes assignments", 7,
     "push 'o' 'x' 1 1; object; setvar; func cb(n, o, v, u) { push 'n'; getvar; "
     "push 'o'; getvar; add2; push 'v'; getvar; add2; push 'u'; getvar; add2; trace; push 9; "
     "return }; push 'ud' 'cb'; getvar; push 'x' 3 'o'; getvar; push 'watch'; callmethod; "
     "trace; push 'o'; getvar; "
     "push 'x' 5; setmember; push 'o'; getvar; push 'x'; getmember; trace; push 'x' 1 'o'; "
     "getvar; push 'unwatch'; callmethod; trace; push 'x' 1 'o'; getvar; push 'unwatch'; "
     "callmethod; trace",
     "true|x15ud|9|true|false"},
    {"watch recursion stops at 65", 7,
     "push 'o' 0; object; setvar; push 'n' 0; setvar; func cb(p, a, v) { push 'n'; "
     "push 'n'; getvar; inc; setvar; push 'o'; getvar; push 'x' 1; setmember; push 'v'; "
     "getvar; return }; push 'cb'; getvar; push 'x' 2 'o'; getvar; push 'watch'; callmethod; "
     "pop; push 'o'; "
     "getvar; push 'x' 1; setmember; push 'n'; getvar; trace",
     "65"},
    {"cyclic prototype stops the script", 7,
     "push 'a' 0; object; setvar; push 'a'; getvar; push '__proto__' 'a'; getvar; setmember; "
     "push 'before'; trace; push 'a'; getvar; push 'foo'; getmember; trace; push 'after'; trace",
     "before"},
    {"prototype cannot be deleted", 7,
     "push 'Object'; getvar; push 'prototype'; delete; trace; func f() {}; push 'f'; getvar; "
     "push 'prototype'; delete; trace",
     "false|false"},
    {"string methods count characters", 7,
     "push 1 1 'h\xc3\xa9llo'; push 'charAt'; callmethod; trace; push 1 1 'h\xc3\xa9llo'; "
     "push 'charCodeAt'; callmethod; trace; push 'h\xc3\xa9llo' 'length'; getmember; trace; "
     "push -1 0 2 'hello world'; push 'substr'; callmethod; trace; push 5 1 'hello'; "
     "push 'charCodeAt'; callmethod; trace; push 4294967297.0 1 'hello'; push 'charAt'; "
     "callmethod; trace",
     "\xc3\xa9|233|5|hello worl|0|e"},
    {"string methods edges", 7,
     "push 100 '' 2 'abc'; push 'indexOf'; callmethod; trace; push -1 't' 2 'test'; "
     "push 'lastIndexOf'; callmethod; trace; push 3 6 2 'HELLO1hello'; push 'substring'; "
     "callmethod; trace; push -1 -3 2 'Hello1234'; push 'slice'; callmethod; trace; "
     "push 0 82 80 3 'String'; getvar; push 'fromCharCode'; callmethod; trace; "
     "push '' 1 'abc'; push 'split'; callmethod; push 'length'; getmember; trace",
     "-1|-1|LO1|23|PR|3"},
    {"flash 5 strings", 5,
     "push 0 's'; push 'indexOf'; callmethod; trace; push 0 'a,b'; push 'split'; callmethod; "
     "push 'length'; getmember; trace",
     "undefined|2"},
    {"stack underflow reads undefined", 7, "pop; pop; add; trace; swap; trace", "NaN|undefined"},
};

class Language : public ::testing::TestWithParam<Case> {};

TEST_P(Language, Traces) {
    const Case& c = GetParam();
    avm1test::Harness h(c.version);
    h.Run(c.code);
    EXPECT_EQ(h.Traces(), c.expected)
        << c.name << "\nnotices: " << (h.notices.empty() ? "" : h.notices[0]);
}

INSTANTIATE_TEST_SUITE_P(Scripts, Language, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

} // namespace

namespace {

// Budgets: what input controls is counted before it is made, and natives' work counts.
TEST(Budgets, ArrayLengthIsChargedBeforeItGrows) {
    avm1::Limits limits;
    limits.memoryBytes = 1u << 20;
    avm1test::Harness h(7, limits);
    EXPECT_EQ(h.Run("push 'a' 0; array; setvar; push 'a'; getvar; push 'length' 4194303; "
                    "setmember; push 'a'; getvar; push 'length'; getmember; trace"),
              avm1::RunResult::OutOfMemory);
    EXPECT_EQ(h.Traces(), "");
    avm1test::Harness small(7, limits);
    small.Run("push 'a' 0; array; setvar; push 'a'; getvar; push 'length' 1000; setmember; "
              "push 'a'; getvar; push 'length'; getmember; trace");
    EXPECT_EQ(small.Traces(), "1000");
}

TEST(Budgets, LongStringNativesReachTheInstructionBudget) {
    // Few instructions, much work: each escape of a 64 KB string counts as thousands of steps.
    avm1::Limits limits;
    limits.instructionsPerFrame = 200000;
    avm1test::Harness h(7, limits);
    std::string code = "push 's' 'x'; setvar; push 'i' 0; setvar; ";
    for (int i = 0; i < 16; i++)
        code += "push 's' 's'; getvar; push 's'; getvar; add2; setvar; ";
    code += "loop: push 1 's'; getvar; push 1 'escape'; callfunc; pop; pop; push 'i' 'i'; "
            "getvar; inc; setvar; push 'i'; getvar; push 100000; lt2; if loop";
    EXPECT_EQ(h.Run(code), avm1::RunResult::Abandoned);
    EXPECT_LT(h.vm.instructionsRun(), 100000u);
}

TEST(Budgets, ParseFloatReadsTheLongestNumber) {
    avm1test::Harness h(7);
    h.Run("push ' -1.5e3xyz' 1 'parseFloat'; callfunc; trace; push '.5.5' 1 'parseFloat'; "
          "callfunc; trace; push 'e5' 1 'parseFloat'; callfunc; trace; push '2e' 1 'parseFloat'; "
          "callfunc; trace");
    EXPECT_EQ(h.Traces(), "-1500|0.5|NaN|2");
}

} // namespace
