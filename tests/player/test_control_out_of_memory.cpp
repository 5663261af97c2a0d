// The system running out of memory inside the movie player control: each entry point a
// container, a script or the system calls (COM methods and the window's messages), with
// the allocator refusing from its Nth request on, for N up to the last request the call
// makes. Nothing may escape into the caller, and the control answers afterwards.
// The control is linked in and global new replaced for this program alone.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "common/shockwave_flash.h"
#include "player/control/class_factory.h"
#include "test_env.h"
#include "test_site.h"
#include "tests/support/refusing_allocator.h"

namespace {

const RECT kPlace = {0, 0, 160, 120};

// A control made, given the default movie and active in place in a window of its own.
struct Hosted {
    HWND parent = NULL;
    TestSite* site = nullptr;
    IShockwaveFlash* flash = nullptr;
    HWND window = NULL;

    bool Make(BSTR url) {
        parent = CreateWindowExA(0, "STATIC", "oom test", WS_POPUP | WS_VISIBLE, 0, 0, 200, 160,
                                 NULL, NULL, NULL, NULL);
        site = new TestSite(parent, kPlace);
        if (parent == NULL ||
            FAILED(PlayerClassFactory()->CreateInstance(nullptr, IID_IShockwaveFlash,
                                                        reinterpret_cast<void**>(&flash)))) {
            return false;
        }
        IOleObject* ole = nullptr;
        flash->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
        ole->SetClientSite(site);
        RECT none = {};
        const HRESULT hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &none);
        ole->Release();
        window = GetWindow(parent, GW_CHILD);
        return SUCCEEDED(hr) && window != NULL && flash->put_Movie(url) == S_OK;
    }
    ~Hosted() {
        if (flash != nullptr) {
            IOleObject* ole = nullptr;
            flash->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
            ole->Release();
            flash->Release();
        }
        delete site;
        if (parent != NULL) {
            DestroyWindow(parent);
        }
    }
};

// Sets the movie by name through IDispatch, as a script does.
HRESULT PutMovie(IShockwaveFlash* flash, BSTR url) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Movie")};
    HRESULT hr = flash->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = url;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    if (SUCCEEDED(hr)) {
        hr = flash->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                           nullptr, nullptr, nullptr);
    }
    return hr;
}

// Draws through IViewObject into a bitmap, as a container printing the control does.
HRESULT DrawInto(IShockwaveFlash* flash) {
    IViewObject* view = nullptr;
    flash->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 80, 60);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECTL bounds = {0, 0, 80, 60};
    const HRESULT hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, NULL, memory, &bounds,
                                  nullptr, nullptr, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    view->Release();
    return hr;
}

struct EntryPoint {
    const char* name;
    HRESULT (*call)(Hosted& hosted, BSTR url);
};

const EntryPoint kEntries[] = {
    {"CreateInstance",
     [](Hosted&, BSTR) {
         IUnknown* made = nullptr;
         const HRESULT hr = PlayerClassFactory()->CreateInstance(nullptr, IID_IUnknown,
                                                                 reinterpret_cast<void**>(&made));
         if (made != nullptr) {
             made->Release();
         }
         return hr == E_OUTOFMEMORY ? S_OK : hr;
     }},
    {"put_Movie", [](Hosted& h, BSTR url) { return h.flash->put_Movie(url); }},
    {"GotoFrame and Rewind",
     [](Hosted& h, BSTR) {
         h.flash->GotoFrame(1);
         return h.flash->Rewind();
     }},
    {"IDispatch Movie", [](Hosted& h, BSTR url) { return PutMovie(h.flash, url); }},
    {"IViewObject Draw", [](Hosted& h, BSTR) { return DrawInto(h.flash); }},
    {"WM_PAINT",
     [](Hosted& h, BSTR) {
         return RedrawWindow(h.window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW) ? S_OK : E_FAIL;
     }},
    {"WM_SIZE",
     [](Hosted& h, BSTR) {
         return SetWindowPos(h.window, NULL, 0, 0, 120, 90, SWP_NOZORDER) &&
                        RedrawWindow(h.window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW)
                    ? S_OK
                    : E_FAIL;
     }},
};

TEST(ControlOutOfMemory, NoEntryPointLetsItEscape) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(NULL)));
    const std::string path = GeneratedPath("default.swf");
    const std::wstring url = L"file://" + std::wstring(path.begin(), path.end());
    BSTR bstr = SysAllocString(url.c_str());
    for (const EntryPoint& entry : kEntries) {
        SCOPED_TRACE(entry.name);
        // Every refusal among the first ones (the control's own requests come first), then
        // ever sparser through the engine's: each try makes a window, and Wine is slow at it.
        long n = 0;
        for (;; n += 1 + n / 8) {
            ASSERT_LT(n, 100000) << "the call never completed";
            Hosted hosted;
            ASSERT_TRUE(hosted.Make(bstr));
            RefuseAt(n);
            HRESULT hr = E_UNEXPECTED;
            try {
                hr = entry.call(hosted, bstr);
            } catch (...) {
                RefuseNone();
                ADD_FAILURE() << "an exception escaped at allocation " << n;
            }
            RefuseNone();
            const bool refused = g_refused;
            EXPECT_EQ(S_OK, hr) << "refused at allocation " << n;
            // The control goes on answering, and its window on painting.
            long state = -1;
            EXPECT_EQ(S_OK, hosted.flash->get_ReadyState(&state));
            EXPECT_TRUE(RedrawWindow(hosted.window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW));
            if (!refused) {
                break;
            }
        }
        EXPECT_GT(n, 0) << "the call asked for no memory";
    }
    SysFreeString(bstr);
    OleUninitialize();
}

} // namespace
