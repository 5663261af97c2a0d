// Case mapping of one UTF-16 unit, as String.toUpperCase and toLowerCase apply it.
#pragma once

#include <cstdint>

namespace avm2 {

uint32_t ToLowerCase(uint32_t c);
uint32_t ToUpperCase(uint32_t c);

} // namespace avm2
