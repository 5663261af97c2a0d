// Scripting by name: IDispatch maps the Flash control's member names to its dispatch
// identifiers and calls the same members as the vtable does.
#include "player/control/player_control.h"

#include <olectl.h>

namespace {

// The dispatch identifiers of the Flash control's type library, so scripts written
// against it find the same members here.
struct DispatchMember {
    const wchar_t* name;
    DISPID id;
};
const DISPID kDispMovie = 0x66, kDispQuality = 0x69, kDispLoop = 0x6A, kDispFrameNum = 0x6B,
             kDispPlay = 0x70, kDispStop = 0x71, kDispBack = 0x72, kDispForward = 0x73,
             kDispRewind = 0x74, kDispScaleMode = 0x78, kDispAlignMode = 0x79,
             kDispBackgroundColor = 0x7B, kDispTotalFrames = 0x7C, kDispPlaying = 0x7D,
             kDispStopPlay = 0x7E, kDispGotoFrame = 0x7F, kDispCurrentFrame = 0x80,
             kDispIsPlaying = 0x81, kDispPercentLoaded = 0x82, kDispFlashVersion = 0x84;
const DispatchMember kMembers[] = {
    {L"ReadyState", DISPID_READYSTATE},
    {L"TotalFrames", kDispTotalFrames},
    {L"Playing", kDispPlaying},
    {L"Quality", kDispQuality},
    {L"ScaleMode", kDispScaleMode},
    {L"AlignMode", kDispAlignMode},
    {L"BackgroundColor", kDispBackgroundColor},
    {L"Loop", kDispLoop},
    {L"Movie", kDispMovie},
    {L"FrameNum", kDispFrameNum},
    {L"Play", kDispPlay},
    {L"Stop", kDispStop},
    {L"Back", kDispBack},
    {L"Forward", kDispForward},
    {L"Rewind", kDispRewind},
    {L"StopPlay", kDispStopPlay},
    {L"GotoFrame", kDispGotoFrame},
    {L"CurrentFrame", kDispCurrentFrame},
    {L"IsPlaying", kDispIsPlaying},
    {L"PercentLoaded", kDispPercentLoaded},
    {L"FlashVersion", kDispFlashVersion},
};

// The one argument of a property put or a method, converted to `type`.
HRESULT Argument(DISPPARAMS* params, VARTYPE type, VARIANT* value) {
    if (params == nullptr || params->cArgs != 1) {
        return DISP_E_BADPARAMCOUNT;
    }
    VariantInit(value);
    return VariantChangeType(value, &params->rgvarg[0], 0, type);
}

void SetLong(VARIANT* result, long value) {
    if (result != nullptr) {
        V_VT(result) = VT_I4;
        V_I4(result) = value;
    }
}

void SetBool(VARIANT* result, VARIANT_BOOL value) {
    if (result != nullptr) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value;
    }
}

} // namespace

STDMETHODIMP PlayerControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP PlayerControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    if (count == 0) {
        return S_OK;
    }
    for (const DispatchMember& member : kMembers) {
        if (names[0] != nullptr && lstrcmpiW(names[0], member.name) == 0) {
            ids[0] = member.id;
        }
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) {
        hr = DISP_E_UNKNOWNNAME; // none of the members takes named arguments
    }
    return hr;
}

STDMETHODIMP PlayerControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) {
    const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const bool call = (flags & DISPATCH_METHOD) != 0;
    if (result != nullptr) {
        VariantInit(result);
    }
    VARIANT arg;
    VariantInit(&arg);
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    long number = 0;
    VARIANT_BOOL flag = VARIANT_FALSE;
    switch (id) {
    case DISPID_READYSTATE:
    case kDispTotalFrames:
    case kDispPercentLoaded:
    case kDispFlashVersion:
    case kDispCurrentFrame:
        if (get || call) {
            hr = id == DISPID_READYSTATE    ? get_ReadyState(&number)
                 : id == kDispTotalFrames   ? get_TotalFrames(&number)
                 : id == kDispPercentLoaded ? PercentLoaded(&number)
                 : id == kDispFlashVersion  ? FlashVersion(&number)
                                            : CurrentFrame(&number);
            SetLong(result, number);
        }
        break;
    case kDispPlaying:
    case kDispIsPlaying:
    case kDispLoop:
        if (put && id != kDispIsPlaying) {
            hr = Argument(params, VT_BOOL, &arg);
            if (SUCCEEDED(hr)) {
                hr = id == kDispLoop ? put_Loop(V_BOOL(&arg)) : put_Playing(V_BOOL(&arg));
            }
        } else if (get || call) {
            hr = id == kDispLoop ? get_Loop(&flag) : get_Playing(&flag);
            SetBool(result, flag);
        }
        break;
    case kDispFrameNum:
    case kDispBackgroundColor:
    case kDispQuality:
    case kDispScaleMode:
    case kDispAlignMode:
        if (put) {
            hr = Argument(params, VT_I4, &arg);
            if (SUCCEEDED(hr)) {
                const long value = V_I4(&arg);
                hr = id == kDispFrameNum          ? put_FrameNum(value)
                     : id == kDispBackgroundColor ? put_BackgroundColor(value)
                     : id == kDispQuality         ? put_Quality(value)
                     : id == kDispScaleMode       ? put_ScaleMode(value)
                                                  : put_AlignMode(value);
            }
        } else if (get) {
            int small = 0;
            hr = id == kDispFrameNum          ? get_FrameNum(&number)
                 : id == kDispBackgroundColor ? get_BackgroundColor(&number)
                 : id == kDispQuality         ? get_Quality(&small)
                 : id == kDispScaleMode       ? get_ScaleMode(&small)
                                              : get_AlignMode(&small);
            SetLong(result, id == kDispFrameNum || id == kDispBackgroundColor ? number : small);
        }
        break;
    case kDispMovie:
        if (put) {
            hr = Argument(params, VT_BSTR, &arg);
            if (SUCCEEDED(hr)) {
                hr = put_Movie(V_BSTR(&arg));
            }
        } else if (get) {
            BSTR url = nullptr;
            hr = get_Movie(&url);
            if (result != nullptr) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = url;
            } else {
                SysFreeString(url);
            }
        }
        break;
    case kDispGotoFrame:
        if (call) {
            hr = Argument(params, VT_I4, &arg);
            if (SUCCEEDED(hr)) {
                hr = GotoFrame(V_I4(&arg));
            }
        }
        break;
    case kDispPlay:
    case kDispStop:
    case kDispBack:
    case kDispForward:
    case kDispRewind:
    case kDispStopPlay:
        if (call) {
            hr = id == kDispPlay      ? Play()
                 : id == kDispStop    ? Stop()
                 : id == kDispBack    ? Back()
                 : id == kDispForward ? Forward()
                 : id == kDispRewind  ? Rewind()
                                      : StopPlay();
        }
        break;
    default:
        break;
    }
    VariantClear(&arg);
    return hr;
}
