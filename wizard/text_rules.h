// Small text rules of the wizard: the automatic display name and the command-line argument.
#pragma once

#include <windows.h>

#include <string>

// The file name of `path` without its extension and with a capital first letter
// ("C:\Movies\ocean waves.swf" gives "Ocean waves"); empty when the path has no backslash
// after its first character. Backslashes are found by characters of the ANSI code page, so
// a double-byte character's second byte is never taken for one.
std::string DeriveDisplayName(const char* path);
std::string DeriveDisplayNameFor(const char* path, UINT codePage);

// The one argument of the wizard's command line: after the program name (quotes group
// blanks) and exactly one blank; a quoted argument ends at the last quote, an unquoted
// one is the rest of the line as it stands. False when there is none.
bool FindCommandArgument(const char* commandLine, std::string* argument);
