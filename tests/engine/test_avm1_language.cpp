// The language as scripts see it: values and conversions under each version's rules, the
// stack machine's actions and the core built-ins, as trace output of small action blocks.
#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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
    {"a listener added twice is kept once", 8,
     "push 0 'MovieClipLoader'; new; store 1; pop; push 0; object; store 2; pop; "
     "push r:2 1 r:1 'addListener'; callmethod; trace; push r:2 1 r:1 'addListener'; "
     "callmethod; trace; push r:2 1 r:1 'removeListener'; callmethod; trace; "
     "push r:2 1 r:1 'removeListener'; callmethod; trace",
     "true|true|true|false"},
    // Tab stops are set as a list of numbers and read back as a copy.
    {"tab stops", 8,
     "push 0 'TextFormat'; new; store 1; pop; push r:1 'tabStops' 20 10 2; array; setmember; "
     "push r:1 'tabStops'; getmember; store 3; pop; push 30 1 r:3 'push'; callmethod; pop; "
     "push r:1 'tabStops'; getmember; trace",
     "10,20"},
    {"parseCSS skips comments", 8,
     "push 0 'TextField'; getvar; push 'StyleSheet'; newmethod; store 1; pop; "
     "push '/* a */ p { color: #FF0000 } /* b */' 1 r:1 'parseCSS'; callmethod; trace; "
     "push 'p' 1 r:1 'getStyle'; callmethod; push 'color'; getmember; trace; "
     "push '/* open' 1 r:1 'parseCSS'; callmethod; trace",
     "true|#FF0000|false"},
    {"LoadVars.load needs a URL", 8,
     "push 0 'LoadVars'; new; store 1; pop; push 0 r:1 'load'; callmethod; trace; "
     "push 'x.txt' 1 r:1 'load'; callmethod; trace",
     "false|true"},
    {"names fold case below 7", 6, "push 'Foo' 5; setvar; push 'foo'; getvar; trace", "5"},
    {"built-in names fold case below 7", 6,
     "push 'STAGE'; getvar; push 'SCALEMODE'; getmember; trace; push 'Stage'; getvar; "
     "push 'SHOWMENU'; getmember; trace; push 'Stage'; getvar; push 'Align'; getmember; "
     "typeof; trace; push 'FLASH'; getvar; typeof; trace; push 'math'; getvar; push 'PI'; "
     "getmember; push 'MATH'; getvar; push 'pi'; getmember; eq2; trace",
     "showAll|true|string|object|true"},
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
    {"a timeline defines where a path leads", 7,
     "push '/:p' 5; local; push 'p'; getvar; trace; push '_root.q' 6; local; push 'q'; getvar; "
     "trace; push '/:p'; local2; push 'p'; getvar; trace; push '/:s'; local2; push '_root'; "
     "getvar; push 's'; push 1; push '_root'; getvar; push 'hasOwnProperty'; callmethod; trace; "
     "pop",
     "5|6|5|true"},
    {"a function keeps a path as a local", 7,
     "func f() { push '/:r' 7; local; push '/:r'; getvar; trace }; push 0 'f'; callfunc; pop; "
     "push 'r'; getvar; trace",
     "undefined|undefined"},
    {"no closures in 5", 5,
     "func make() { push 'n' 1; local; func g() { push 'n'; getvar; trace }; push 0 'g'; "
     "callfunc; pop }; push 'n' 'root'; setvar; push 0 'make'; callfunc",
     "root"},
    {"closures from 6", 6,
     "func make() { push 'n' 1; local; func g() { push 'n'; getvar; trace }; push 0 'g'; "
     "callfunc; pop }; push 'n' 'root'; setvar; push 0 'make'; callfunc",
     "1"},
    {"strings to numbers in 5", 5,
     "push '0x10' 1 'Number'; callfunc; trace; push ' 5' 1 'Number'; callfunc; trace; "
     "push '5 ' 1 'Number'; callfunc; trace; push 0 'isNaN'; callfunc; trace; "
     "push 0 'isFinite'; callfunc; trace; push 0 'Boolean'; callfunc; typeof; trace",
     "NaN|5|NaN|true|false|undefined"},
    {"strings to numbers in 6", 6,
     "push '0x10' 1 'Number'; callfunc; trace; push '5 ' 1 'Number'; callfunc; trace; "
     "push '1.5x' 1 'Number'; callfunc; trace",
     "16|5|NaN"},
    {"a function found among locals runs on them", 7,
     "func outer() { push 'v' 3; local; func inner() { push 'this'; getvar; push 'v'; "
     "getmember; trace }; push 0 'inner'; callfunc; pop }; push 0 'outer'; callfunc",
     "3"},
    {"ASnew tells a construction from a call", 7,
     "push 'n' 0 2 2 'ASnative'; callfunc; setvar; func F() { push 0 'n'; callfunc; trace; "
     "func g() { push 0 'n'; callfunc; trace }; push 0 'g'; callfunc; pop }; push 0 'F'; "
     "callfunc; pop; push 0 'F'; new; pop; push 0 'n'; callfunc; trace",
     "false|false|true|false|false"},
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
    {"enumerate newest first, a call's result dropped", 7,
     "push 'o' 0; object; setvar; push 'o'; getvar; push 'a' 1; setmember; push 'o'; getvar; "
     "push 'b' 2; setmember; push 'o'; enum; L: store 0; push null; eq2; if E; push r:0; "
     "trace; push 0 'Object'; callfunc; pop; jump L; E: push 'end'; trace",
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
    // A list of names, each one read-only, the last as well as the first.
    {"flags for names listed with commas", 7,
     "push 'o' 'a' 1 'b' 2 'c' 3 3; object; setvar; push 0 4 'a,c' 'o'; getvar; "
     "push 4 'ASSetPropFlags'; callfunc; pop; push 'o'; getvar; push 'a' 9; setmember; "
     "push 'o'; getvar; push 'b' 9; setmember; push 'o'; getvar; push 'c' 9; setmember; "
     "push 'o'; getvar; push 'a'; getmember; trace; push 'o'; getvar; push 'b'; getmember; "
     "trace; push 'o'; getvar; push 'c'; getmember; trace",
     "1|9|3"},
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
    {"shared objects live in memory", 7,
     "push 'x' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; store 1; pop; "
     "push r:1 'data'; getmember; push 'k' 5; setmember; push 0 r:1 'flush'; callmethod; "
     "trace; push 0 r:1 'getSize'; callmethod; trace; push 'x' 1 'SharedObject'; getvar; "
     "push 'getLocal'; callmethod; push 'data'; getmember; push 'k'; getmember; trace",
     "true|0|5"},
    // A listener joins once; broadcastMessage answers true only when someone (not null) was
    // told; removal takes the last equal one; what initialize adds does not enumerate.
    {"AsBroadcaster", 7,
     "push 'o' 0; object; setvar; push 'o'; getvar; push 1 'AsBroadcaster'; getvar; "
     "push 'initialize'; callmethod; pop; push 'l' 0; object; setvar; "
     "func ev(x) { push 'got '; push 'x'; getvar; add2; trace }; "
     "push 'l'; getvar; push 'ev'; push 'ev'; getvar; setmember; "
     "push 'l'; getvar; push 1 'o'; getvar; push 'addListener'; callmethod; trace; "
     "push 'l'; getvar; push 1 'o'; getvar; push 'addListener'; callmethod; pop; "
     "push 'o'; getvar; push '_listeners'; getmember; push 'length'; getmember; trace; "
     "push 5 'ev' 2 'o'; getvar; push 'broadcastMessage'; callmethod; trace; "
     "push 'l'; getvar; push 1 'o'; getvar; push 'removeListener'; callmethod; trace; "
     "push 'l'; getvar; push 1 'o'; getvar; push 'removeListener'; callmethod; trace; "
     "push null 1 'o'; getvar; push '_listeners'; getmember; push 'push'; callmethod; pop; "
     "push 'ev' 1 'o'; getvar; push 'broadcastMessage'; callmethod; trace; "
     "push 'o'; getvar; enum2; push 'k'; swap; setvar; push 'k'; getvar; trace",
     "true|1|got 5|true|true|false|undefined|null"},
    // A message given replaces the prototype's; toString shows it.
    {"Error", 7,
     "push 0 'Error'; new; store 1; pop; push r:1 'message'; getmember; trace; "
     "push 'bad' 1 'Error'; new; store 1; pop; push r:1; trace; push r:1 'name'; getmember; "
     "trace; try r:2 { push 'worse' 1 'Error'; new; throw } catch { push r:2 'message'; "
     "getmember; trace }",
     "Error|bad|Error|worse"},
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

namespace {

// One built-in call per row. `self`: "" calls a global function, a quoted literal is pushed as
// is, "new Name(items)" first constructs r:1, else a global's name. args are push items in call
// order. The trace shows the result; `show` names a member of it, or "self" adds r:1 as text,
// or "m()" traces r:1.m() instead. An empty first line leaves no separator.
struct Call {
    const char* self;
    const char* method;
    std::vector<std::string> args;
    const char* expected;
    const char* show = nullptr;
};

std::string Pushes(std::vector<std::string> items) {
    std::string code = "push";
    for (size_t i = items.size(); i-- > 0;)
        code += " " + items[i];
    return code + " " + std::to_string(items.size()) + "; ";
}

std::string CallCode(const Call& c) {
    const std::string self = c.self;
    std::string code;
    if (self.compare(0, 4, "new ") == 0) {
        const size_t open = self.find('(');
        std::vector<std::string> items;
        std::stringstream list(self.substr(open + 1, self.size() - open - 2));
        for (std::string item; std::getline(list, item, ',');)
            if (!item.empty())
                items.push_back(item);
        code += Pushes(items) + "push '" + self.substr(4, open - 4) + "'; new; store 1; pop; ";
    }
    code += Pushes(c.args);
    if (self.empty())
        code += std::string("push '") + c.method + "'; callfunc; ";
    else if (self.compare(0, 4, "new ") == 0)
        code += std::string("push r:1 '") + c.method + "'; callmethod; ";
    else if (self[0] == '\'')
        code += "push " + self + " '" + c.method + "'; callmethod; ";
    else
        code += "push '" + self + "'; getvar; push '" + c.method + "'; callmethod; ";
    const std::string show = c.show ? c.show : "";
    if (show == "self")
        return code + "trace; push 0 r:1 'toString'; callmethod; trace";
    if (show.size() > 2 && show.compare(show.size() - 2, 2, "()") == 0)
        return code + "pop; push 0 r:1 '" + show.substr(0, show.size() - 2) +
               "'; callmethod; trace";
    if (!show.empty())
        code += "push '" + show + "'; getmember; ";
    return code + "trace";
}

const Call kCalls[] = {
    // parseInt: radix from the text, each radix bound, signs, junk.
    {"", "parseInt", {"'0x1F'"}, "31"},
    {"", "parseInt", {"'-0x10'"}, "-16"},
    {"", "parseInt", {"'012'"}, "10"},
    {"", "parseInt", {"'08'"}, "0"},
    {"", "parseInt", {"'0'"}, "0"},
    {"", "parseInt", {"' \t+42px'"}, "42"},
    {"", "parseInt", {"''"}, "NaN"},
    {"", "parseInt", {"'x1'"}, "NaN"},
    {"", "parseInt", {"'0x'"}, "NaN"},
    {"", "parseInt", {"'11'", "2"}, "3"},
    {"", "parseInt", {"'12'", "2"}, "1"},
    {"", "parseInt", {"'11'", "1"}, "NaN"},
    {"", "parseInt", {"'zZ'", "36"}, "1295"},
    {"", "parseInt", {"'11'", "37"}, "NaN"},
    {"", "parseInt", {"'0xff'", "16"}, "255"},
    {"", "parseInt", {"'ff'", "16"}, "255"},
    {"", "parseInt", {"'077'", "10"}, "77"},
    // parseFloat: the longest decimal prefix.
    {"", "parseFloat", {"'abc'"}, "NaN"},
    {"", "parseFloat", {"'.5'"}, "0.5"},
    {"", "parseFloat", {"'-.5e-1x'"}, "-0.05"},
    {"", "parseFloat", {"'1e'"}, "1"},
    {"", "parseFloat", {"'+3.'"}, "3"},
    {"", "parseFloat", {"'2.09'"}, "2.09"},
    {"", "Number", {"'+5'"}, "5"},
    {"", "Number", {"' -2.5'"}, "-2.5"},
    {"", "parseFloat", {"'-'"}, "NaN"},
    {"", "parseFloat", {"'1.5E+2'"}, "150"},
    {"", "String", {"0.0000001"}, "1e-7"},
    {"", "String", {"1000000000000000.0"}, "1e+15"},
    {"", "String", {"999999999999999.0"}, "999999999999999"},
    {"", "String", {"-0.5"}, "-0.5"},
    {"", "isNaN", {"'12'"}, "false"},
    {"", "isNaN", {}, "true"},
    {"", "isFinite", {"1.5"}, "true"},
    {"", "isFinite", {"'x'"}, "false"},
    {"", "escape", {"'a b+\xc3\xa9/'"}, "a%20b%2B%C3%A9%2F"},
    {"", "unescape", {"'%41%2'"}, "A%2"},
    // Math: argument order, counts and non-finite input.
    {"Math", "atan2", {"1", "2"}, "0.463647609000806"},
    {"Math", "atan2", {"2", "1"}, "1.10714871779409"},
    {"Math", "atan2", {"1", "-1"}, "2.35619449019234"},
    {"Math", "atan2", {"-1", "0"}, "-1.5707963267949"},
    {"Math", "pow", {"2", "-1"}, "0.5"},
    {"Math", "pow", {"-1", "0.5"}, "NaN"},
    {"Math", "min", {}, "Infinity"},
    {"Math", "max", {}, "-Infinity"},
    {"Math", "min", {"3", "1", "2"}, "1"},
    {"Math", "max", {"3", "5", "2"}, "5"},
    {"Math", "min", {"1", "'x'"}, "NaN"},
    {"Math", "max", {"'x'", "1"}, "NaN"},
    {"Math", "round", {"2.5"}, "3"},
    {"Math", "round", {"-2.5"}, "-2"},
    {"Math", "round", {"-2.6"}, "-3"},
    {"Math", "abs", {"-3"}, "3"},
    {"Math", "ceil", {"1.1"}, "2"},
    {"Math", "sqrt", {"-1"}, "NaN"},
    {"Math", "floor", {"'x'"}, "NaN"},
    // String methods: each argument count, negative and reversed bounds, ends.
    {"'hello'", "substr", {"1"}, "ello"},
    {"'hello'", "substr", {"-3", "2"}, "ll"},
    {"'hello'", "substr", {"1", "0"}, ""},
    {"'hello'", "substr", {"4", "9"}, "o"},
    {"'hello'", "substring", {"3", "1"}, "el"},
    {"'hello'", "substring", {"-2", "2"}, "he"},
    {"'hello'", "substring", {"2"}, "llo"},
    {"'hello'", "substring", {"5"}, ""},
    {"'hello'", "slice", {"-2"}, "lo"},
    {"'hello'", "slice", {"3", "1"}, ""},
    {"'hello'", "slice", {"1", "-1"}, "ell"},
    {"'hello'", "charAt", {"5"}, ""},
    {"'hello'", "charAt", {"4"}, "o"},
    {"'hello'", "charAt", {"-1"}, ""},
    {"'hello'", "charCodeAt", {"0"}, "104"},
    {"'hello'", "charCodeAt", {"-1"}, "NaN"},
    {"'hello'", "indexOf", {"'l'", "3"}, "3"},
    {"'hello'", "indexOf", {"'l'", "4"}, "-1"},
    {"'hello'", "indexOf", {"'o'", "4"}, "4"},
    {"'hello'", "indexOf", {"'lo'"}, "3"},
    {"'hello'", "lastIndexOf", {"'l'"}, "3"},
    {"'hello'", "lastIndexOf", {"'l'", "2"}, "2"},
    {"'hello'", "lastIndexOf", {"'h'", "0"}, "0"},
    {"'hello'", "lastIndexOf", {"'o'", "3"}, "-1"},
    {"'a,b,,c'", "split", {"','"}, "4", "length"},
    {"'a,b,,c'", "split", {"','", "2"}, "2", "length"},
    {"'a,b,,c'", "split", {"','", "0"}, "0", "length"},
    {"'abc'", "split", {}, "1", "length"},
    {"'a'", "concat", {"1", "'b'", "null"}, "a1bnull"},
    {"'aB1z'", "toUpperCase", {}, "AB1Z"},
    {"'aB1Z'", "toLowerCase", {}, "ab1z"},
    {"String", "fromCharCode", {"104", "233", "8364"}, "h\xc3\xa9\xe2\x82\xac"},
    // addProperty wants a name and a getter function.
    {"new Object()", "addProperty", {"'p'", "5", "null"}, "false"},
    {"new Object()", "addProperty", {"'p'"}, "false"},
    // Array methods: what they return and what is left.
    {"new Array(1,2,3,4)", "splice", {"1"}, "2,3,4|1", "self"},
    {"new Array(1,2,3,4)", "splice", {"1", "2"}, "2,3|1,4", "self"},
    {"new Array(1,2,3,4)", "splice", {"-1"}, "4|1,2,3", "self"},
    {"new Array(1,2,3,4)", "splice", {"4"}, "1,2,3,4", "self"},
    {"new Array(1,2,3,4)", "splice", {"1", "9"}, "2,3,4|1", "self"},
    {"new Array(1,2,3,4)", "splice", {"1", "0", "'a'", "'b'"}, "1,a,b,2,3,4", "self"},
    {"new Array(1,2,3,4)", "splice", {"3", "1", "'z'"}, "4|1,2,3,z", "self"},
    {"new Array(1,2,3,4)", "slice", {"1", "3"}, "2,3"},
    {"new Array(1,2,3,4)", "slice", {"-2"}, "3,4"},
    {"new Array(1,2,3,4)", "slice", {"3", "1"}, ""},
    {"new Array(1,2,3,4)", "slice", {"0", "-1"}, "1,2,3"},
    {"new Array(1,2,3,4)", "slice", {"4"}, ""},
    {"new Array(1,2,3,4)", "concat", {"5", "'x'"}, "1,2,3,4,5,x|1,2,3,4", "self"},
    {"new Array(1,2,3,4)", "join", {}, "1,2,3,4"},
    {"new Array(1,2,3,4)", "join", {"'-'"}, "1-2-3-4"},
    {"new Array(1,2,3,4)", "reverse", {}, "4,3,2,1"},
    {"new Array(1,2,3,4)", "shift", {}, "1|2,3,4", "self"},
    {"new Array(1,2,3,4)", "pop", {}, "4|1,2,3", "self"},
    {"new Array(1,2,3,4)", "unshift", {"0", "'a'"}, "6|0,a,1,2,3,4", "self"},
    {"new Array(1,2,3,4)", "push", {"5", "6"}, "6|1,2,3,4,5,6", "self"},
    {"new Array()", "shift", {}, "undefined|", "self"},
    {"new Array()", "pop", {}, "undefined|", "self"},
    {"new Array(10,9,100)", "sort", {}, "10,100,9"},
    {"new Array(10,9,100)", "sort", {"16"}, "9,10,100"},
    {"new Array(10,9,100)", "sort", {"18"}, "100,10,9"},
    {"new Array('b','C','a')", "sort", {}, "C,a,b"},
    {"new Array('b','C','a')", "sort", {"1"}, "a,b,C"},
    {"new Array('b','C','a')", "sort", {"3"}, "C,b,a"},
    {"new Array(3,1,2)", "sort", {"8"}, "1,2,0|3,1,2", "self"},
    {"new Array(1,2,1)", "sort", {"4"}, "0|1,2,1", "self"},
    {"new Array(2,1)", "sort", {"4"}, "1,2"},
    {"new Array(3)", "join", {}, ",,"},
    {"new Array('3')", "join", {}, "3"},
    // Date: the fields of one local time, the setters' carries, UTC's defaults.
    {"new Date(2000,1,29,13,14,15,456)", "getMilliseconds", {}, "456"},
    {"new Date(2000,1,29,13,14,15,456)", "getSeconds", {}, "15"},
    {"new Date(2000,1,29,13,14,15,456)", "getMinutes", {}, "14"},
    {"new Date(2000,1,29,13,14,15,456)", "getHours", {}, "13"},
    {"new Date(2000,1,29,13,14,15,456)", "getDay", {}, "2"},
    {"new Date(2000,1,29,13,14,15,456)", "getYear", {}, "100"},
    {"new Date(2000,1,29,13,14,15,456)", "getUTCMilliseconds", {}, "456"},
    {"new Date(2000,1,29)", "setMonth", {"12"}, "2001", "getFullYear()"},
    {"new Date(2000,1,29)", "setDate", {"0"}, "31", "getDate()"},
    {"new Date(2000,1,29)", "setHours", {"24"}, "1", "getDate()"},
    {"new Date(2000,1,29)", "setMilliseconds", {"1000"}, "1", "getSeconds()"},
    {"new Date(2000,1,29)", "setFullYear", {"2001"}, "2", "getMonth()"},
    {"Date", "UTC", {"2000", "0"}, "946684800000"},
    {"Date", "UTC", {"99", "11", "31", "23", "59", "59", "999"}, "946684799999"},
};

class Calls : public ::testing::TestWithParam<Call> {};

TEST_P(Calls, Trace) {
    const Call& c = GetParam();
    avm1test::Harness h(7);
    h.Run(CallCode(c));
    EXPECT_EQ(h.Traces(), c.expected)
        << CallCode(c) << "\nnotices: " << (h.notices.empty() ? "" : h.notices[0]);
}

INSTANTIATE_TEST_SUITE_P(Builtins, Calls, ::testing::ValuesIn(kCalls));

} // namespace
