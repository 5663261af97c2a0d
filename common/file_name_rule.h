// Which names may stand as a file name in a folder: the installer's rule for the
// Windows 95/98/Me branch, where the display name names the installed screen saver, and
// the wizard's warning about names that branch would refuse.
#pragma once

enum class FileNameProblem {
    None,
    Empty,
    Character, // a path separator, a character file names cannot hold, a control character
    Device,    // CON, NUL, COM1... also with an extension or trailing blanks
};

// The first problem of `name`; for Character, `*offending` (when given) receives the
// first character at fault. Bytes are tested one by one, as the installer tests them.
FileNameProblem CheckFileName(const char* name, char* offending = 0);
