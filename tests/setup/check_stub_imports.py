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
    bad = sorted(item.name.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT
                 for item in entry.imports if item.name and item.name.decode() in LOOKED_UP)
    print("imported instead of looked up:", ", ".join(bad) if bad else "none")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
