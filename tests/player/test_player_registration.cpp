// Registering the player DLL for the machine and for one user through its exports: the
// class, the ProgIDs, and the Flash control's ProgID only where it is free; unregistering
// removes nothing that is not ours.
#include <windows.h>
#include <ole2.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "common/shockwave_flash.h"
#include "test_env.h"

namespace {

const std::wstring kPlayerClsid = L"{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}";
const std::wstring kRealFlashClsid = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";
const std::wstring kFlashProgIdKey = L"Software\\Classes\\ShockwaveFlash.ShockwaveFlash";
const std::wstring kClsidKey = L"Software\\Classes\\CLSID\\" + kPlayerClsid;
// Every key a registration may write, under the machine's or the user's root.
const std::wstring kOurKeys[] = {kFlashProgIdKey, kClsidKey,
                                 L"Software\\Classes\\Flickwell.MoviePlayer",
                                 L"Software\\Classes\\Flickwell.MoviePlayer.1"};

template <class Function> Function Export(HMODULE dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The default (or a named) value of a key; empty when there is none.
std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[MAX_PATH] = {0};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, NULL, data, &size);
    return data;
}

std::wstring FlashClsid(HKEY root) {
    return Value(root, kFlashProgIdKey + L"\\CLSID");
}

class PlayerRegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        dll_ = LoadLibraryA(BinPath("FlickwellPlayer.dll").c_str());
        ASSERT_TRUE(dll_ != NULL);
        register_ = Export<Entry>(dll_, "DllRegisterServer");
        unregister_ = Export<Entry>(dll_, "DllUnregisterServer");
        install_ = Export<Install>(dll_, "DllInstall");
        ASSERT_TRUE(register_ != nullptr && unregister_ != nullptr && install_ != nullptr);
    }
    void TearDown() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const std::wstring& key : kOurKeys) {
                SHDeleteKeyW(root, key.c_str());
            }
        }
        FreeLibrary(dll_);
        CoUninitialize();
    }
    std::wstring DllPath() const {
        wchar_t path[MAX_PATH] = {0};
        GetModuleFileNameW(dll_, path, MAX_PATH);
        return path;
    }
    // Creates the control the way the screen saver does: by the Flash ProgID.
    HRESULT CreateByFlashProgId() {
        CLSID clsid;
        IShockwaveFlash* flash = nullptr;
        HRESULT hr = CLSIDFromProgID(kFlashProgId, &clsid);
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IShockwaveFlash,
                                  reinterpret_cast<void**>(&flash));
        }
        if (SUCCEEDED(hr)) {
            flash->Release();
        }
        return hr;
    }

    typedef HRESULT(STDAPICALLTYPE* Entry)();
    typedef HRESULT(STDAPICALLTYPE* Install)(BOOL, LPCWSTR);
    HMODULE dll_ = NULL;
    Entry register_ = nullptr;
    Entry unregister_ = nullptr;
    Install install_ = nullptr;
};

// Per machine through DllRegisterServer, per user through DllInstall "user": each writes
// only its own classes, and unregistering the other kind leaves it alone.
TEST_F(PlayerRegistrationTest, EachRegistrationWritesOnlyItsOwnClassesUntilUnregistered) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const bool machine = root == HKEY_LOCAL_MACHINE;
        const HKEY other = machine ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        ASSERT_EQ(S_OK, machine ? register_() : install_(TRUE, L"user"));
        const std::wstring server = kClsidKey + L"\\InprocServer32";
        EXPECT_EQ(0, lstrcmpiW(DllPath().c_str(), Value(root, server).c_str()));
        EXPECT_EQ(L"Apartment", Value(root, server, L"ThreadingModel"));
        EXPECT_TRUE(KeyExists(root, kClsidKey + L"\\Control"));
        EXPECT_EQ(kPlayerClsid, FlashClsid(root));
        EXPECT_EQ(kPlayerClsid, Value(root, L"Software\\Classes\\Flickwell.MoviePlayer\\CLSID"));
        EXPECT_FALSE(KeyExists(other, kClsidKey));
        EXPECT_FALSE(KeyExists(other, kFlashProgIdKey));
        // Windows 2000 and later merge the user's classes into HKEY_CLASSES_ROOT; Wine 8
        // does not, so creating the control by its ProgID is checked per machine only.
        if (machine) {
            EXPECT_EQ(S_OK, CreateByFlashProgId());
        }
        ASSERT_EQ(S_OK, machine ? install_(FALSE, L"user") : unregister_());
        EXPECT_TRUE(KeyExists(root, kClsidKey));
        ASSERT_EQ(S_OK, machine ? unregister_() : install_(FALSE, L"user"));
        for (const std::wstring& key : kOurKeys) {
            EXPECT_FALSE(KeyExists(root, key));
        }
    }
    EXPECT_TRUE(FAILED(CreateByFlashProgId()));
}

// A Flash control's ProgID, as an installed Flash player leaves it for the machine or a
// user, is neither taken nor shadowed by a user registration, nor removed.
TEST_F(PlayerRegistrationTest, AFlashProgIdAlreadyTakenIsLeftAsItIs) {
    for (HKEY taken : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kFlashProgIdKey.c_str());
        ASSERT_EQ(ERROR_SUCCESS, SHSetValueW(taken, (kFlashProgIdKey + L"\\CLSID").c_str(), NULL,
                                             REG_SZ, kRealFlashClsid.c_str(),
                                             (kRealFlashClsid.size() + 1) * sizeof(wchar_t)));
        ASSERT_EQ(S_OK, register_());
        ASSERT_EQ(S_OK, install_(TRUE, L"user"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClsidKey));
        EXPECT_EQ(kRealFlashClsid, FlashClsid(taken));
        EXPECT_EQ(taken == HKEY_LOCAL_MACHINE ? L"" : kRealFlashClsid,
                  FlashClsid(HKEY_CURRENT_USER));
        ASSERT_EQ(S_OK, install_(FALSE, L"user"));
        ASSERT_EQ(S_OK, unregister_());
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClsidKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClsidKey));
        EXPECT_EQ(kRealFlashClsid, FlashClsid(taken));
    }
}

} // namespace
