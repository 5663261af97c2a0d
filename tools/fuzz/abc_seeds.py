#!/usr/bin/python3
"""Writes the ABC blocks of every ActionScript 3 movie under the given folders into OUT,
one file each: seeds for the ActionScript 3 fuzz target.

Usage: abc_seeds.py OUT FOLDER...
"""
import glob
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import swfreader  # noqa: E402


def blocks(path):
    for code, body in swfreader.read(open(path, "rb").read())[1]:
        if code == 72:
            yield body
        elif code == 82 and len(body) > 4:
            end = body.find(b"\0", 4)
            if end >= 0:
                yield body[end + 1:]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    count = 0
    for folder in sys.argv[2:]:
        for path in sorted(glob.glob(os.path.join(folder, "*.swf"))):
            try:
                found = list(blocks(path))
            except Exception:  # a damaged movie gives no seed
                continue
            for i, block in enumerate(found):
                name = "%s-%d.abc" % (os.path.basename(path)[:-4], i)
                open(os.path.join(out, name), "wb").write(block)
                count += 1
    print("%d ABC blocks" % count)


if __name__ == "__main__":
    main()
