// Running out of memory without exceptions. The engine is built without them: a refused
// allocation calls the new handler installed here, which gives back a reserve held while a
// player lives and counts the failure, so the request is granted on its retry and the code
// that asked goes on as if nothing happened. The facade sees the count move after each
// call (the interpreters at their budget checks, to stop a script early) and stops the
// movie. A refusal with the reserve already gone has no way back: the process ends.
//
// Requests whose size the movie controls (bitmaps, video pictures, decompressed movies,
// script byte arrays) ask `Obtainable` first and take a refusal as a result, so a single
// large request never reaches the handler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace memory {

// The reserve: the largest any engine call may still need once the system refuses, until
// the facade or a budget check stops it. A script runs at most a few thousand instructions
// between checks, each bounded by the interpreters' string and array limits, and the
// drawing threads each hold a rasterizer's strip of cells; large buffers never come from it.
const size_t kReserveBytes = 4u << 20;

// Counts holders; the first installs the new handler and arms the reserve. Returns whether
// the reserve is held now (false: the system could not give it).
bool Hold() noexcept;
// One holder fewer; the last gives the reserve back.
void Release() noexcept;
// Arms the reserve again after a failure, when some holder needs it; whether it is held.
bool Rearm() noexcept;
bool Armed() noexcept;

// Failures counted so far, by every thread.
uint32_t Failures() noexcept;

// Whether the system gives `bytes` now: a large block is asked for and given back at once,
// so a refusal is a result here and the request that follows meets the block just freed.
// Small requests are always obtainable (the reserve covers them).
bool Obtainable(size_t bytes) noexcept;
template <class T> bool Obtainable(size_t count, size_t extra = 0) noexcept {
    return count <= (size_t(-1) - extra) / sizeof(T) && Obtainable(count * sizeof(T) + extra);
}
// Whether a vector may grow to `size` elements: within its capacity, or the system gives
// the block its growth asks for (twice the elements it holds, at least `size`).
template <class V> bool Growable(const V& v, size_t size) noexcept {
    return size <= v.capacity() ||
           Obtainable<typename V::value_type>(size > v.size() * 2 ? size : v.size() * 2);
}

} // namespace memory
