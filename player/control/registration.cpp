#include "player/control/registration.h"

#include <olectl.h>

#include <string>

#include "common/unique_handle.h"
#include "player/control/player_contract.h"
#include "common/shockwave_flash.h"

const wchar_t kPlayerProgId[] = L"Flickwell.MoviePlayer.1";
const wchar_t kPlayerPlainProgId[] = L"Flickwell.MoviePlayer";

namespace {

const wchar_t kDescription[] = L"Flickwell Movie Player";

std::wstring ClsidText() {
    wchar_t text[40] = {0};
    StringFromGUID2(CLSID_FlickwellPlayer, text, 40);
    return text;
}

HKEY RootKey(RegistrationScope scope) {
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT FromWin32(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

// Creates `path` under `classes` and sets its default value (and one named value).
HRESULT SetKey(HKEY classes, const std::wstring& path, const wchar_t* value,
               const wchar_t* name = nullptr, const wchar_t* namedValue = nullptr) {
    HKEY raw = NULL;
    LONG error = RegCreateKeyExW(classes, path.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, NULL, &raw, NULL);
    if (error != ERROR_SUCCESS) {
        return FromWin32(error);
    }
    RegKey key(raw);
    if (value != nullptr) {
        error = RegSetValueExW(key.Get(), NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                               static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
    }
    if (error == ERROR_SUCCESS && name != nullptr) {
        error =
            RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(namedValue),
                           static_cast<DWORD>((lstrlenW(namedValue) + 1) * sizeof(wchar_t)));
    }
    return FromWin32(error);
}

// Deletes a key with everything below it (RegDeleteKeyW removes only empty keys on NT).
void DeleteTree(HKEY parent, const std::wstring& path) {
    HKEY raw = NULL;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &raw) != ERROR_SUCCESS) {
        return;
    }
    {
        RegKey key(raw);
        wchar_t child[256];
        for (;;) {
            DWORD length = 256;
            if (RegEnumKeyExW(key.Get(), 0, child, &length, NULL, NULL, NULL, NULL) !=
                ERROR_SUCCESS) {
                break;
            }
            const std::wstring name(child, length);
            DeleteTree(key.Get(), name);
            // A child that cannot go would make this loop spin; stop instead.
            HKEY still = NULL;
            if (RegOpenKeyExW(key.Get(), name.c_str(), 0, KEY_READ, &still) == ERROR_SUCCESS) {
                RegCloseKey(still);
                break;
            }
        }
    }
    RegDeleteKeyW(parent, path.c_str());
}

// Who holds a ProgID under one classes key: nobody, us, or someone else.
enum class Holder { Nobody, Us, Other };

Holder ProgIdHolder(HKEY root, const wchar_t* progId) {
    HKEY raw = NULL;
    const std::wstring path = std::wstring(L"Software\\Classes\\") + progId;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return Holder::Nobody;
    }
    RegKey key(raw);
    wchar_t clsid[64] = {0};
    LONG size = sizeof(clsid) - sizeof(wchar_t);
    if (RegQueryValueW(key.Get(), L"CLSID", clsid, &size) == ERROR_SUCCESS &&
        lstrcmpiW(clsid, ClsidText().c_str()) == 0) {
        return Holder::Us;
    }
    return Holder::Other;
}

} // namespace

HRESULT RegisterPlayer(RegistrationScope scope, const wchar_t* dllPath) {
    HKEY raw = NULL;
    LONG error =
        RegCreateKeyExW(RootKey(scope), L"Software\\Classes", 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY | KEY_SET_VALUE, NULL, &raw, NULL);
    if (error != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    RegKey classes(raw);
    const std::wstring clsid = ClsidText();
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    wchar_t misc[16] = {0};
    wsprintfW(misc, L"%lu", kPlayerMiscStatus);

    HRESULT hr = SetKey(classes.Get(), clsidKey, kDescription);
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), clsidKey + L"\\InprocServer32", dllPath, L"ThreadingModel",
                    L"Apartment");
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), clsidKey + L"\\ProgID", kPlayerProgId);
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), clsidKey + L"\\VersionIndependentProgID", kPlayerPlainProgId);
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), clsidKey + L"\\Control", L"");
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), clsidKey + L"\\MiscStatus", misc);
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), kPlayerProgId, kDescription);
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), std::wstring(kPlayerProgId) + L"\\CLSID", clsid.c_str());
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), kPlayerPlainProgId, kDescription);
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), std::wstring(kPlayerPlainProgId) + L"\\CLSID", clsid.c_str());
    }
    if (SUCCEEDED(hr)) {
        hr = SetKey(classes.Get(), std::wstring(kPlayerPlainProgId) + L"\\CurVer", kPlayerProgId);
    }
    if (FAILED(hr)) {
        UnregisterPlayer(scope);
        return SELFREG_E_CLASS;
    }

    // The Flash ProgID, unless a Flash control (or anything else) already has it. Per-user
    // classes win over the machine's, so a user registration also respects the machine's.
    Holder holder = ProgIdHolder(RootKey(scope), kFlashProgId);
    if (scope == RegistrationScope::User && holder == Holder::Nobody &&
        ProgIdHolder(HKEY_LOCAL_MACHINE, kFlashProgId) == Holder::Other) {
        holder = Holder::Other;
    }
    if (holder == Holder::Nobody) {
        hr = SetKey(classes.Get(), kFlashProgId, kDescription);
        if (SUCCEEDED(hr)) {
            hr = SetKey(classes.Get(), std::wstring(kFlashProgId) + L"\\CLSID", clsid.c_str());
        }
        if (FAILED(hr)) {
            DeleteTree(classes.Get(), kFlashProgId);
            UnregisterPlayer(scope);
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT UnregisterPlayer(RegistrationScope scope) {
    HKEY raw = NULL;
    if (RegOpenKeyExW(RootKey(scope), L"Software\\Classes", 0, KEY_READ | KEY_WRITE, &raw) !=
        ERROR_SUCCESS) {
        return S_OK; // nothing registered there
    }
    RegKey classes(raw);
    if (ProgIdHolder(RootKey(scope), kFlashProgId) == Holder::Us) {
        DeleteTree(classes.Get(), kFlashProgId);
    }
    DeleteTree(classes.Get(), kPlayerProgId);
    DeleteTree(classes.Get(), kPlayerPlainProgId);
    DeleteTree(classes.Get(), L"CLSID\\" + ClsidText());
    return S_OK;
}
