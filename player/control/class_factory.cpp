#include "player/control/class_factory.h"

#include "player/control/player_control.h"

// The linker's symbol at the start of the module's image: the module's own handle, whether
// that module is the DLL or an executable the player is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

LONG g_moduleLocks = 0;

class PlayerFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory: its references keep the module, not the object, alive.
    STDMETHODIMP_(ULONG) AddRef() override {
        ModuleLock();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        ModuleUnlock();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return PlayerControl::Create(iid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            ModuleLock();
        } else {
            ModuleUnlock();
        }
        return S_OK;
    }
};

PlayerFactory g_factory;

} // namespace

HINSTANCE ModuleInstance() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

void ModuleLock() {
    InterlockedIncrement(&g_moduleLocks);
}
void ModuleUnlock() {
    InterlockedDecrement(&g_moduleLocks);
}
bool ModuleInUse() {
    return g_moduleLocks != 0;
}

IClassFactory* PlayerClassFactory() {
    return &g_factory;
}
