// The movie player linked into the screen saver itself, for machines where no control
// answers the Flash ProgID (no Flash control has been made since 2021, and the toolkit's
// player is registered only where the toolkit is installed). It is made directly, without
// the registry, and is driven through the same interfaces as a registered control.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace saver {

// A new player control's IUnknown, with one reference for the caller.
HRESULT CreateBuiltInPlayer(IUnknown** control);

} // namespace saver
