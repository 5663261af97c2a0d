// A small text assembler for action blocks, so interpreter tests, the fuzzer's seeds and
// the benchmark read as stack code instead of hex:
//   push 'x' 1; setvar; L: push 'x'; getvar; trace; jump L
//   func2 f 3 0x01 (1:a) { push r:1; return }
// Push items: 'string', integers (int32), numbers with a point (double), true, false,
// null, undef, r:N (register), c:N (constant). Anything malformed asserts in the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace avm1test {

// Empty result and `error` set when the text does not parse.
std::vector<uint8_t> Assemble(const std::string& text, std::string* error = nullptr);

} // namespace avm1test
