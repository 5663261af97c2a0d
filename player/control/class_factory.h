// The module the player's code is linked into (FlickwellPlayer.dll, or a program that
// carries the player inside), its count of live objects and locks, and the class factory
// that COM asks for new controls.
#pragma once

#include <windows.h>
#include <unknwn.h>

// The instance that owns the player's window class: the module holding this code.
HINSTANCE ModuleInstance();

// Live controls and server locks; the DLL may be unloaded when none are left.
void ModuleLock();
void ModuleUnlock();
bool ModuleInUse();

// The factory's IClassFactory; one for the module, its references count as locks.
IClassFactory* PlayerClassFactory();
