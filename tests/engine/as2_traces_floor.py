#!/usr/bin/python3
"""Runs score.py over the as2-traces movies and fails when fewer than FLOOR trace exactly.

Usage: as2_traces_floor.py SCORE_PY PLAYER DIR FLOOR
"""
import re
import subprocess
import sys


def main():
    score, player, folder, floor = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    out = subprocess.run([sys.executable, score, player, folder], capture_output=True, text=True,
                         timeout=550).stdout
    match = re.search(r"(\d+) of (\d+) movies trace exactly", out)
    if not match:
        print(out)
        return 1
    exact = int(match.group(1))
    print("%d of %s exact (floor %d)" % (exact, match.group(2), floor))
    return 0 if exact >= floor else 1


if __name__ == "__main__":
    sys.exit(main())
