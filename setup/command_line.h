// Reading the installer's command line: the program name, tokens, numbers and the role.
#pragma once

#include <windows.h>

#include <stddef.h>

// Every token, path, key name and command of the installer fits in MAX_PATH characters.
const size_t kTextSize = MAX_PATH;

// The command line as WinMain receives it: the program name cut off the way the usual
// start-up code does it, with the blanks and control characters after it skipped.
const char* SkipProgramName(const char* commandLine);

// Writes the next token of `position` into `token` (kTextSize characters) and gives the
// position where the following call continues. Blanks and tabs separate tokens; a token
// that starts with a double quote runs to the next double quote (or the end) and keeps its
// blanks. A token longer than the buffer is refused: `token` stays empty, and the whole
// token is still consumed, so a cut path never stands in for the real one.
const char* NextToken(const char* position, char* token);

// Decimal digits from the start of `text`; the first other character ends the number.
// No sign, no range check.
DWORD ParseDecimal(const char* text);

enum class Role { Install, Uninstall, Cleanup };

// "-u" uninstalls, "-pid" cleans up (both without regard to case); anything else installs.
Role ChooseRole(const char* firstToken);
