// MP3 decoding for native tools and tests: Debian's libmpg123, handed to the engine as its
// host-supplied decoder. The control on Windows uses the system's codec instead.
#pragma once

#include "player/core/engine.h"

namespace flickwell {

// A decoder source over libmpg123; null when the library cannot start.
engine::Mp3DecoderSource Mpg123Decoders();

} // namespace flickwell
