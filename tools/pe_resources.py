#!/usr/bin/env python3
"""Lists or extracts the resources of a PE file with python3-pefile, a reader independent
of the Windows resource functions that our programs and tests use.

    pe_resources.py FILE                         one line per entry: TYPE NAME LANG SIZE SHA256
    pe_resources.py FILE --extract TYPE NAME OUT write that entry's bytes (language 1033) to OUT

TYPE and NAME are numbers or upper-case names (SWF, SCR)."""

import hashlib
import sys

import pefile


def entries(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    result = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return result
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tname = str(t.name) if t.name is not None else str(t.id)
        for n in t.directory.entries:
            nname = str(n.name) if n.name is not None else str(n.id)
            for lang in n.directory.entries:
                s = lang.data.struct
                data = pe.get_data(s.OffsetToData, s.Size)
                result.append((tname, nname, lang.id, data))
    return result


def string_block(block):
    """The 16 texts of a string-table block; raises ValueError when bytes follow them."""
    texts, at = [], 0
    for _ in range(16):
        count = int.from_bytes(block[at:at + 2], "little")
        texts.append(block[at + 2:at + 2 + 2 * count].decode("utf-16-le"))
        at += 2 + 2 * count
    if at != len(block):
        raise ValueError("%d bytes after the sixteenth entry" % (len(block) - at))
    return texts


def main(argv):
    path = argv[1]
    if len(argv) == 6 and argv[2] == "--extract":
        for t, n, lang, data in entries(path):
            if t == argv[3] and n == argv[4] and lang == 1033:
                with open(argv[5], "wb") as f:
                    f.write(data)
                return 0
        print("no such resource", file=sys.stderr)
        return 1
    for t, n, lang, data in entries(path):
        print(t, n, lang, len(data), hashlib.sha256(data).hexdigest())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
