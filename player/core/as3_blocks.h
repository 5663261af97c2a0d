// The movie's ActionScript 3 blocks as the host and tools find them: whether a movie asks
// for ActionScript 3, the ABC block of a DoABC tag, and what of it the player leaves out.
// Apart from the host so a tool that only looks (the wizard) links the reader alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/core/swf/movie_reader.h"

namespace engine {

const uint16_t kTagFileAttributes = 69;
const uint16_t kTagDoAbc1 = 72;
const uint16_t kTagSymbolClass = 76;
const uint16_t kTagDoAbc = 82;

// True when a movie's FileAttributes ask for ActionScript 3.
bool UsesActionScript3(const swf::Movie& movie);
// The ABC block a DoABC or DoABC1 tag carries; false for any other tag or a damaged one.
bool AbcOfTag(const swf::Tag& tag, const uint8_t** data, size_t* size, bool* lazy);

} // namespace engine
