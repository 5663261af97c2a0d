// Registers the player as an in-process server, for the whole machine (HKEY_LOCAL_MACHINE)
// or for the current user (HKEY_CURRENT_USER\Software\Classes). The Flash control's
// ProgID "ShockwaveFlash.ShockwaveFlash" is claimed only where nobody holds it, so an
// installed Flash control keeps its place; unregistering removes only what is ours.
#pragma once

#include <windows.h>

enum class RegistrationScope { Machine, User };

extern const wchar_t kPlayerProgId[];      // "Flickwell.MoviePlayer.1"
extern const wchar_t kPlayerPlainProgId[]; // "Flickwell.MoviePlayer"

HRESULT RegisterPlayer(RegistrationScope scope, const wchar_t* dllPath);
HRESULT UnregisterPlayer(RegistrationScope scope);
