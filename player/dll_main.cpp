// The in-process server's entry points: the class factory and self-registration.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "player/player_control.h"
#include "player/registration.h"

namespace {

class PlayerFactory : public IClassFactory {
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

HRESULT ModulePath(wchar_t* path, DWORD size) {
    const DWORD length = GetModuleFileNameW(ModuleInstance(), path, size);
    return length == 0 || length >= size ? SELFREG_E_CLASS : S_OK;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        UnregisterClassW(kPlayerWindowClass, instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid != CLSID_FlickwellPlayer) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH] = {0};
    const HRESULT hr = ModulePath(path, MAX_PATH);
    return FAILED(hr) ? hr : RegisterPlayer(RegistrationScope::Machine, path);
}

STDAPI DllUnregisterServer() {
    return UnregisterPlayer(RegistrationScope::Machine);
}

// regsvr32 /i:user /n FlickwellPlayer.dll registers for the current user only;
// regsvr32 /u /i:user /n removes that again. Without "user" the machine is meant.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const RegistrationScope scope = commandLine != nullptr && lstrcmpiW(commandLine, L"user") == 0
                                        ? RegistrationScope::User
                                        : RegistrationScope::Machine;
    if (!install) {
        return UnregisterPlayer(scope);
    }
    wchar_t path[MAX_PATH] = {0};
    const HRESULT hr = ModulePath(path, MAX_PATH);
    return FAILED(hr) ? hr : RegisterPlayer(scope, path);
}
