// What an ABC block asks for that this player leaves out, so a tool can tell the author
// before a screen saver is made rather than leave a blank where the movie expected more.
#pragma once

#include <string>
#include <vector>

#include "player/core/avm2/abc.h"

namespace avm2 {

enum UnplayedPart : unsigned {
    kUnplayedE4x = 1,     // XML and XMLList, E4X instructions, describeType
    kUnplayedLoader = 2,  // Loader: other movies and pictures loaded at run time
    kUnplayedNetwork = 4, // flash.net's connections, requests and streams
};

struct UnplayedUse {
    unsigned parts = 0;
    // The names found, in the order first met, each once (a part found only by its
    // instructions names none).
    std::vector<std::string> names[3];
};

// Adds to `use` what `abc` refers to. Names count only as references (multinames in
// their package), never as string constants, so a movie that prints "XML" is not named.
void FindUnplayed(const AbcFile& abc, UnplayedUse* use);

} // namespace avm2
