// Texts built into fixed buffers: a text that would not fit is refused, never cut.
#pragma once

#include <stddef.h>

#include <initializer_list>

// Writes the parts one after another into `out` (`size` characters with the terminator).
// False, with `out` emptied, when they would not fit.
bool JoinText(char* out, size_t size, std::initializer_list<const char*> parts);

// Copies `text` into `out`; false, with `out` emptied, when it would not fit.
bool CopyText(char* out, size_t size, const char* text);
