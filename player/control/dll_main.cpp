// FlickwellPlayer.dll's entry points: the class object and self-registration.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "player/control/class_factory.h"
#include "player/control/player_contract.h"
#include "player/control/registration.h"
#include "player/core/engine.h"

namespace {

HRESULT ModulePath(wchar_t* path, DWORD size) {
    const DWORD length = GetModuleFileNameW(ModuleInstance(), path, size);
    return length == 0 || length >= size ? SELFREG_E_CLASS : S_OK;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
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
    return PlayerClassFactory()->QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

namespace {

// Registration builds key paths as strings: a refused allocation becomes a result (it is
// granted from the engine's memory reserve, held here, and reported afterwards).
template <class F> HRESULT Guarded(F&& f) {
    const engine::MemoryGuard guard;
    if (!guard.Held()) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = f();
    return guard.Refused() ? E_OUTOFMEMORY : hr;
}

} // namespace

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH] = {0};
    const HRESULT hr = ModulePath(path, MAX_PATH);
    return FAILED(hr) ? hr
                      : Guarded([&] { return RegisterPlayer(RegistrationScope::Machine, path); });
}

STDAPI DllUnregisterServer() {
    return Guarded([] { return UnregisterPlayer(RegistrationScope::Machine); });
}

// regsvr32 /i:user /n FlickwellPlayer.dll registers for the current user only;
// regsvr32 /u /i:user /n removes that again. Without "user" the machine is meant.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const RegistrationScope scope = commandLine != nullptr && lstrcmpiW(commandLine, L"user") == 0
                                        ? RegistrationScope::User
                                        : RegistrationScope::Machine;
    if (!install) {
        return Guarded([&] { return UnregisterPlayer(scope); });
    }
    wchar_t path[MAX_PATH] = {0};
    const HRESULT hr = ModulePath(path, MAX_PATH);
    return FAILED(hr) ? hr : Guarded([&] { return RegisterPlayer(scope, path); });
}
