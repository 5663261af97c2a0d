// Writes the fuzzer's starting corpus: a version byte and an assembled block per file,
// covering functions, classes, exceptions, with, enumeration, display calls, XML and the
// offline loaders.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/engine/avm1_asm.h"

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const char* const scripts[] = {
        "push 'a' 1; setvar; L: push 'a'; getvar; inc; store 1; push 'a'; swap; setvar; "
        "push r:1 10; lt2; if L; push 'a'; getvar; trace",
        "pool 'x' 'y' 'Math'; push c:0 c:1; add2; push 2 1 c:2; getvar; push 'max'; callmethod",
        "func2 f 4 0x1F (2:x, 3:y) { push r:2 r:3; mul; return }; push 4 3 2 'f'; callfunc; trace",
        "func A(v) { push 'this'; getvar; push 'v'; push 'v'; getvar; setmember }; "
        "func B(v) { push 'v'; getvar; push 1 'super'; getvar; push undef; callmethod; pop }; "
        "push 'B'; getvar; push 'A'; getvar; extends; push 'b' 9 1 'B'; new; setvar",
        "try e { push 'boom'; throw } catch { push 'e'; getvar; trace } finally { push 1; trace }",
        "push 'o' 'x' 5 1; object; setvar; push 'o'; getvar; with { push 'x'; getvar; trace }; "
        "push 'o'; enum; L: store 0; push null; eq2; if E; push r:0; trace; jump L; E:",
        "push 'ball'; getvar; push 'onEnterFrame'; func () { push 'this'; getvar; push '_x'; "
        "push 'this'; getvar; push '_x'; getmember; push 2; add2; setmember }; setmember",
        "push 10 'c' 2 '_root'; getvar; push 'createEmptyMovieClip'; callmethod; store 1; pop; "
        "push 50 0xFF0000 2 r:1 'beginFill'; callmethod; pop; push 0 10 2 r:1 'lineTo'; "
        "callmethod; push 5 'b2' 2 'ball'; getvar; push 'duplicateMovieClip'; callmethod",
        "push 2 1 3 3; array; store 1; pop; push 0 r:1 'sort'; callmethod; push ',' 1 'a,b' "
        "'split'; callmethod; push 0 'Date'; new; push 0 r:1 'reverse'; callmethod",
        "push 'hello' 2 3; substr; push 'abc'; strlen; push 'a' 'b'; strcat; push 65; chr; "
        "push '' 0 15; setprop; push 'ball' 0; getprop; push 5; goto2 1; settarget 'ball'; stop",
        "push 100; func () { push 'tick'; trace }; push 2 'setInterval'; callfunc; "
        "push 'p' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; geturl 'a' 'b'",
        "func I() {}; func C() {}; push 'I'; getvar; push 1 'C'; getvar; implements; "
        "push 'I'; getvar; push 0 'C'; new; cast; push 0 'C'; new; push 'I'; getvar; instanceof",
        "push 'd' '<a x=\"1\"><b/>t</a>' 1 'XML'; new; setvar; push 'd'; getvar; "
        "push 'firstChild'; getmember; store 1; pop; push r:1 1 r:1 'firstChild'; getmember; "
        "push 'appendChild'; callmethod; push true 1 'd'; getvar; push 'cloneNode'; callmethod; "
        "push 0 'd'; getvar; push 'toString'; callmethod; trace; push 'q.xml' 1 'd'; getvar; "
        "push 'load'; callmethod",
        "push 'v' 0 'LoadVars'; new; setvar; push 'a=b+c%41&d' 1 'v'; getvar; push 'decode'; "
        "callmethod; push 0 'v'; getvar; push 'toString'; callmethod; trace; push 'm' 0 "
        "'MovieClipLoader'; new; setvar; push 'ball'; getvar; push 'x.swf' 2 'm'; getvar; "
        "push 'loadClip'; callmethod",
    };
    int n = 0;
    for (const char* s : scripts) {
        std::vector<uint8_t> bytes = avm1test::Assemble(s);
        for (uint8_t version : {uint8_t(2), uint8_t(3)}) {
            std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++);
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f)
                return 1;
            std::fputc(version, f);
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    return 0;
}
