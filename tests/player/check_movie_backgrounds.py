#!/usr/bin/env python3
"""Checks what the player's reader found in each sample movie (version, compression,
stage, rate, frame count, background colour) against the movies' manifest and an
independent reader (tools/swfreader.py)."""

import csv
import os
import sys

import swfreader


def main(found_path, movies_dir):
    with open(found_path, encoding="utf-8") as f:
        found = {row[0]: row[1:] for row in csv.reader(f, delimiter="\t")}
    with open(os.path.join(movies_dir, "MANIFEST.tsv"), encoding="utf-8") as f:
        manifest = list(csv.DictReader([line for line in f if not line.startswith("#")],
                                       delimiter="\t"))
    failures = []
    for entry in manifest:
        name = entry["name"]
        with open(os.path.join(movies_dir, name + ".swf"), "rb") as f:
            header, tags = swfreader.read(f.read())
        colours = [body[:3].hex().upper() for code, body in tags if code == 9 and len(body) >= 3]
        if header["frame_count"] != int(entry["frame_count"]):
            failures.append("%s: manifest says %s frames, the file %d"
                            % (name, entry["frame_count"], header["frame_count"]))
        expected = [entry["swf_version"], "CWS" if "CWS" in entry["compression"] else "FWS",
                    entry["stage_px"], "%g" % float(entry["frame_rate"]), entry["frame_count"],
                    colours[0] if colours else "-"]
        if found.get(name) != expected:
            failures.append("%s: player read %s, expected %s" % (name, found.get(name), expected))
    if len(found) != len(manifest):
        failures.append("player read %d movies, the manifest lists %d" % (len(found), len(manifest)))
    if not any("CWS" in entry["compression"] for entry in manifest):
        failures.append("no compressed movie among the samples")
    for failure in failures:
        print(failure)
    print("%d movies checked, %d failures" % (len(manifest), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
