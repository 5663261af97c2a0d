#!/usr/bin/python3
"""Runs score.py over the as2-traces movies named in LIST and fails when one of them no longer
traces exactly what Flash Player did.

Usage: as2_traces_exact.py SCORE_PY PLAYER DIR LIST
LIST names one movie a line; '#' starts a comment.
"""
import re
import subprocess
import sys


def main():
    score, player, folder, listing = sys.argv[1:5]
    names = [l.split("#")[0].strip() for l in open(listing, encoding="utf-8")]
    names = [n for n in names if n]
    out = subprocess.run([sys.executable, score, player, folder, "-v", "--only"] + names,
                         capture_output=True, text=True, timeout=550).stdout
    exact = set(re.findall(r"^\s+(\S+)\s+exact,", out, re.M))
    seen = set(re.findall(r"^\s+(\S+)\s+(?:exact|differs),", out, re.M))
    lost = [n for n in names if n not in exact]
    for n in lost:
        print("%s: %s" % (n, "no longer traces exactly" if n in seen else "not in the manifest"))
    print("%d of %d listed movies trace exactly" % (len(names) - len(lost), len(names)))
    return 1 if lost or len(names) < 50 else 0


if __name__ == "__main__":
    sys.exit(main())
