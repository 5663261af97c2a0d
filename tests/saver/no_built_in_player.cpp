// For a test build of the runtime without its built-in player: nothing can be made, as on
// a machine where neither a Flash control nor the player is at hand.
#include "saver/built_in_player.h"

namespace saver {

HRESULT CreateBuiltInPlayer(IUnknown** control) {
    *control = NULL;
    return REGDB_E_CLASSNOTREG;
}

} // namespace saver
