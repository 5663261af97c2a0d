#!/usr/bin/env python3
"""Checks the background colour and frame count the player's reader found in each sample
movie against an independent reader (tools/swfreader.py) and the movies' manifest."""

import csv
import os
import sys

import swfreader


def main(found_path, movies_dir):
    with open(found_path, encoding="utf-8") as f:
        found = {row[0]: row[1:] for row in csv.reader(f, delimiter="\t")}
    with open(os.path.join(movies_dir, "MANIFEST.tsv"), encoding="utf-8") as f:
        rows = [line for line in f if not line.startswith("#")]
    manifest = list(csv.DictReader(rows, delimiter="\t"))
    failures = []
    for entry in manifest:
        name = entry["name"]
        with open(os.path.join(movies_dir, name + ".swf"), "rb") as f:
            header, tags = swfreader.read(f.read())
        colours = [body[:3].hex().upper() for code, body in tags if code == 9 and len(body) >= 3]
        expected = [str(header["frame_count"]), colours[0]] if colours else ["-", "-"]
        if header["frame_count"] != int(entry["frame_count"]):
            failures.append("%s: manifest says %s frames, the file %d"
                            % (name, entry["frame_count"], header["frame_count"]))
        if found.get(name) != expected:
            failures.append("%s: player read %s, expected %s" % (name, found.get(name), expected))
    if len(found) != len(manifest):
        failures.append("player read %d movies, the manifest lists %d" % (len(found), len(manifest)))
    for failure in failures:
        print(failure)
    print("%d movies checked, %d failures" % (len(manifest), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
