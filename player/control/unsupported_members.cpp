// The Flash control's members for scripting, network and display options that this player
// does not offer: each answers E_NOTIMPL, as a control without the feature does.
#include "player/control/player_control.h"

STDMETHODIMP PlayerControl::get_WMode(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_WMode(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SAlign(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SAlign(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Menu(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Menu(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Base(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Base(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Scale(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Scale(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_DeviceFont(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_DeviceFont(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_EmbedMovie(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_EmbedMovie(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_BGColor(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_BGColor(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Quality2(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Quality2(BSTR) {
    return E_NOTIMPL;
}

STDMETHODIMP PlayerControl::TGotoFrame(BSTR, long) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGotoLabel(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCurrentFrame(BSTR, long*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCurrentLabel(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TPlay(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TStopPlay(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::SetVariable(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::GetVariable(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TSetProperty(BSTR, int, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetProperty(BSTR, int, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCallFrame(BSTR, int) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TCallLabel(BSTR, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TSetPropertyNum(BSTR, int, double) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetPropertyNum(BSTR, int, double*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::TGetPropertyAsNumber(BSTR, int, double*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SWRemote(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SWRemote(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_FlashVars(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_FlashVars(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowScriptAccess(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowScriptAccess(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_MovieData(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_MovieData(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_InlineData(IUnknown**) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_InlineData(IUnknown*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_SeamlessTabbing(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_SeamlessTabbing(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::EnforceLocalSecurity() {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_Profile(VARIANT_BOOL*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_Profile(VARIANT_BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_ProfileAddress(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_ProfileAddress(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_ProfilePort(long*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_ProfilePort(long) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::CallFunction(BSTR, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::SetReturnValue(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::DisableLocalSecurity() {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowNetworking(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowNetworking(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::get_AllowFullScreen(BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP PlayerControl::put_AllowFullScreen(BSTR) {
    return E_NOTIMPL;
}
