#include "saver/built_in_player.h"

#include "player/control/class_factory.h"

namespace saver {

HRESULT CreateBuiltInPlayer(IUnknown** control) {
    return PlayerClassFactory()->CreateInstance(NULL, IID_IUnknown,
                                                reinterpret_cast<void**>(control));
}

} // namespace saver
