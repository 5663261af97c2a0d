// Registering the player DLL for the machine and for one user, through its exports and
// through regsvr32: the class, the ProgIDs, and the Flash control's ProgID only where it
// is free, and unregistering removes nothing that is not ours.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "saver/platform/shockwave_flash.h"
#include "test_env.h"

namespace {

const wchar_t kPlayerClsidText[] = L"{F9EF14BC-14FF-4B69-A74E-B3C2985FF5E1}";
const wchar_t kRealFlashClsidText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";
const wchar_t kFlashProgIdKey[] = L"Software\\Classes\\ShockwaveFlash.ShockwaveFlash";

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
    HKEY key = NULL;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return L"";
    }
    wchar_t data[MAX_PATH] = {0};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return data;
}

void DeleteTree(HKEY root, const std::wstring& path) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    wchar_t child[256];
    DWORD length = 256;
    while (RegEnumKeyExW(key, 0, child, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        DeleteTree(key, child);
        length = 256;
    }
    RegCloseKey(key);
    RegDeleteKeyW(root, path.c_str());
}

// Puts a Flash control's ProgID in place, as an installed Flash player leaves it.
void ClaimFlashProgId(HKEY root) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, (std::wstring(kFlashProgIdKey) + L"\\CLSID").c_str(), 0, NULL,
                              0, KEY_SET_VALUE, NULL, &key, NULL));
    RegSetValueExW(key, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(kRealFlashClsidText),
                   sizeof(kRealFlashClsidText));
    RegCloseKey(key);
}

std::wstring ClsidKey(const wchar_t* below = L"") {
    return std::wstring(L"Software\\Classes\\CLSID\\") + kPlayerClsidText + below;
}

class PlayerRegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        path_ = BinPath("FlickwellPlayer.dll");
        dll_ = LoadLibraryA(path_.c_str());
        ASSERT_TRUE(dll_ != NULL);
        register_ = Export<Entry>(dll_, "DllRegisterServer");
        unregister_ = Export<Entry>(dll_, "DllUnregisterServer");
        install_ = Export<Install>(dll_, "DllInstall");
        ASSERT_TRUE(register_ != nullptr && unregister_ != nullptr && install_ != nullptr);
        Clean();
    }
    void TearDown() override {
        Clean();
        FreeLibrary(dll_);
        CoUninitialize();
    }
    void Clean() {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            DeleteTree(root, kFlashProgIdKey);
            DeleteTree(root, L"Software\\Classes\\Flickwell.MoviePlayer");
            DeleteTree(root, L"Software\\Classes\\Flickwell.MoviePlayer.1");
            DeleteTree(root, ClsidKey());
        }
    }
    std::wstring DllPathW() const {
        wchar_t path[MAX_PATH] = {0};
        GetModuleFileNameW(dll_, path, MAX_PATH);
        return path;
    }
    // Creates the control the way the screen saver does: by the Flash ProgID.
    HRESULT CreateByFlashProgId() {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(kFlashProgId, &clsid);
        if (FAILED(hr)) {
            return hr;
        }
        IShockwaveFlash* flash = nullptr;
        hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IShockwaveFlash,
                              reinterpret_cast<void**>(&flash));
        if (SUCCEEDED(hr)) {
            long frames = -1;
            EXPECT_EQ(S_OK, flash->get_TotalFrames(&frames));
            flash->Release();
        }
        return hr;
    }

    typedef HRESULT(STDAPICALLTYPE* Entry)();
    typedef HRESULT(STDAPICALLTYPE* Install)(BOOL, LPCWSTR);
    std::string path_;
    HMODULE dll_ = NULL;
    Entry register_ = nullptr;
    Entry unregister_ = nullptr;
    Install install_ = nullptr;
};

TEST_F(PlayerRegistrationTest, PerMachineRegistrationServesTheFlashProgIdUntilUnregistered) {
    ASSERT_EQ(S_OK, register_());
    EXPECT_EQ(0, lstrcmpiW(DllPathW().c_str(),
                           Value(HKEY_LOCAL_MACHINE, ClsidKey(L"\\InprocServer32")).c_str()));
    EXPECT_EQ(L"Apartment",
              Value(HKEY_LOCAL_MACHINE, ClsidKey(L"\\InprocServer32"), L"ThreadingModel"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey(L"\\Control")));
    EXPECT_EQ(kPlayerClsidText,
              Value(HKEY_LOCAL_MACHINE, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    EXPECT_EQ(kPlayerClsidText,
              Value(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Flickwell.MoviePlayer\\CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
    EXPECT_EQ(S_OK, CreateByFlashProgId());

    ASSERT_EQ(S_OK, unregister_());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kFlashProgIdKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Flickwell.MoviePlayer"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Flickwell.MoviePlayer.1"));
    EXPECT_TRUE(FAILED(CreateByFlashProgId()));
}

TEST_F(PlayerRegistrationTest, PerUserRegistrationWritesOnlyTheUsersClasses) {
    ASSERT_EQ(S_OK, install_(TRUE, L"user"));
    EXPECT_EQ(0, lstrcmpiW(DllPathW().c_str(),
                           Value(HKEY_CURRENT_USER, ClsidKey(L"\\InprocServer32")).c_str()));
    EXPECT_EQ(kPlayerClsidText,
              Value(HKEY_CURRENT_USER, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kFlashProgIdKey));
    // Windows 2000 and later merge these keys into HKEY_CLASSES_ROOT; Wine 8 does not,
    // so creating the control by its ProgID is checked for the machine registration only.

    // Unregistering the machine leaves the user's registration alone, and back.
    ASSERT_EQ(S_OK, unregister_());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
    ASSERT_EQ(S_OK, install_(FALSE, L"user"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFlashProgIdKey));
}

TEST_F(PlayerRegistrationTest, AFlashProgIdAlreadyTakenIsLeftAsItIs) {
    ClaimFlashProgId(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(S_OK, register_());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));
    EXPECT_EQ(kRealFlashClsidText,
              Value(HKEY_LOCAL_MACHINE, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    // A user registration must not shadow the machine's Flash control either.
    ASSERT_EQ(S_OK, install_(TRUE, L"user"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFlashProgIdKey));

    ASSERT_EQ(S_OK, install_(FALSE, L"user"));
    ASSERT_EQ(S_OK, unregister_());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));
    EXPECT_EQ(kRealFlashClsidText,
              Value(HKEY_LOCAL_MACHINE, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
}

TEST_F(PlayerRegistrationTest, AUsersOwnFlashProgIdIsLeftAsItIs) {
    ClaimFlashProgId(HKEY_CURRENT_USER);
    ASSERT_EQ(S_OK, install_(TRUE, L"user"));
    EXPECT_EQ(kRealFlashClsidText,
              Value(HKEY_CURRENT_USER, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    ASSERT_EQ(S_OK, install_(FALSE, L"user"));
    EXPECT_EQ(kRealFlashClsidText,
              Value(HKEY_CURRENT_USER, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
}

TEST_F(PlayerRegistrationTest, Regsvr32RegistersForTheMachineOrTheUser) {
    const std::string quoted = "\"" + path_ + "\"";
    ASSERT_EQ(0u, RunAndWait("regsvr32 /s " + quoted));
    EXPECT_EQ(kPlayerClsidText,
              Value(HKEY_LOCAL_MACHINE, std::wstring(kFlashProgIdKey) + L"\\CLSID"));
    ASSERT_EQ(0u, RunAndWait("regsvr32 /s /u " + quoted));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));

    ASSERT_EQ(0u, RunAndWait("regsvr32 /s /n /i:user " + quoted));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClsidKey()));
    ASSERT_EQ(0u, RunAndWait("regsvr32 /s /u /n /i:user " + quoted));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ClsidKey()));
}

} // namespace
