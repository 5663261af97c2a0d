// The resource slots through which the wizard, the screen saver and the installer meet.
// One definition for all three programs; a change here changes the package format.
#pragma once

#include <windows.h>

#ifndef RC_INVOKED
namespace package {

// Every slot is written and read under English (United States), so that an update
// replaces the stub's own entry instead of adding a second one beside it.
const WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); // 1033

// The movie inside the screen saver.
const char* const kMovieType = "SWF";
const WORD kMovieId = 202;

// The whole filled screen saver inside the installer.
const char* const kSaverType = "SCR";
const WORD kSaverId = 101;

// String block 1 holds ids 0 to 15 in both stubs.
const WORD kStringBlock = 1;
const UINT kStringDisplayName = 1; // in the screen saver
const UINT kStringFileStem = 1;    // in the installer
const UINT kStringSetupDisplayName = 2;

// Lengths the wizard enforces before a build.
const int kMaxDisplayName = 255;
const int kFileStemLength = 8;

} // namespace package
#endif

// Numeric forms for resource scripts, which cannot use the constants above.
#define PACKAGE_MOVIE_ID 202
#define PACKAGE_SAVER_ID 101
