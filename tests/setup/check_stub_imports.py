#!/usr/bin/env python3
"""The installer must start on Windows 95/98/Me, whose system libraries lack the functions
it uses only where they exist: none of those may sit in its import table, where a missing
one stops the program before it runs. Reads the import table with python3-pefile.

    check_stub_imports.py SETUP_EX_"""

import sys

import pefile

LOOKED_UP = {"SetDefaultDllDirectories", "SetDllDirectoryA", "IsWow64Process",
             "GetSystemWow64DirectoryA", "SHGetFolderPathA"}


def main(path):
    pe = pefile.PE(path)
    imported = {(entry.dll.decode().lower(), item.name.decode())
                for entry in pe.DIRECTORY_ENTRY_IMPORT for item in entry.imports if item.name}
    bad = sorted(name for _, name in imported if name in LOOKED_UP)
    dlls = {dll for dll, _ in imported}
    if bad:
        print("imported instead of looked up:", ", ".join(bad))
        return 1
    print("imports:", ", ".join(sorted(dlls)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
