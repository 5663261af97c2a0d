// Small helpers the acceptance tests share: paths from the test runner and the registry
// reads and writes with which they look at the system.
#pragma once

#include <windows.h>

#include <string>

#include "test_env.h"

bool ReadString(HKEY root, const char* key, const char* value, std::string* text);
bool ReadDword(HKEY root, const char* key, const char* value, DWORD* number);
bool WriteString(HKEY root, const char* key, const char* value, const char* text);
bool KeyExists(HKEY root, const char* key);

// Shortcuts made under Wine would otherwise become menu entries of the machine running it.
bool KeepShortcutsInsideWine();
