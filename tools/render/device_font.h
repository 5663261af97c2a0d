// Device-font outlines for native tools: Noto Sans from Debian's fonts-noto-core (what
// the reference player draws device text in), else DejaVu Sans from fonts-dejavu-core,
// read with stb_truetype. The control on Windows supplies the system's outlines instead.
#pragma once

#include "player/core/engine.h"

namespace flickwell {

// Gives the player a glyph source when the font file is there; false otherwise.
bool InstallDeviceFont(engine::Player* player);

} // namespace flickwell
