#!/usr/bin/python3
"""Renders every shared movie at its MANIFEST frame with flickwell-render and scores it
against the reference render (NAME.ruffle.png) with compare.py: per movie `content` and
`ssim`, then the medians. The goal set leaves out movies with scripts or device-font text.

Usage: scripts/score-movies.py [--render BIN] [--movies DIR] [--out DIR] [--diff]
                               [--picture PNG NAME...]  (ours, the reference and the
                               difference side by side for the named movies)"""

import argparse
import csv
import json
import os
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The shared folder sits beside the repository (or beside a worktree's parent).
SHARED = next((p for p in (os.environ.get("FLICKWELL_SHARED", ""), os.path.join(ROOT, "..", "shared"),
                           os.path.join(ROOT, "..", "..", "shared")) if p and os.path.isdir(p)),
              os.path.join(ROOT, "..", "shared"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--render", default=os.path.join(ROOT, "build-native/tools/render/flickwell-render"))
    ap.add_argument("--movies", default=os.path.join(SHARED, "movies"))
    ap.add_argument("--out", default=os.path.join(ROOT, "build-native/scores"))
    ap.add_argument("--diff", action="store_true", help="also write difference pictures")
    ap.add_argument("--picture", nargs="+", metavar=("PNG", "NAME"))
    args = ap.parse_args()
    compare = os.path.join(args.movies, "..", "tools", "ruffle-ref", "compare.py")
    os.makedirs(args.out, exist_ok=True)
    rows = []
    with open(os.path.join(args.movies, "MANIFEST.tsv")) as f:
        lines = [l for l in f if not l.startswith("#")]
    for m in csv.DictReader(lines, delimiter="\t"):
        name = m["name"]
        features = m["features"].split(",")
        goal = "avm1-script" not in features and not any(x.endswith("device-font") for x in features)
        ours = os.path.join(args.out, name + ".png")
        r = subprocess.run([args.render, "--frame", m["frame"], os.path.join(args.movies, name + ".swf"), ours],
                           capture_output=True, text=True)
        if r.returncode != 0:
            rows.append((name, goal, 0.0, 0.0, r.stderr.strip()))
            continue
        cmd = ["/usr/bin/python3", compare, ours, os.path.join(args.movies, name + ".ruffle.png"), "--json"]
        if args.diff or (args.picture and name in args.picture[1:]):
            cmd += ["--diff", os.path.join(args.out, name + ".diff.png")]
        c = subprocess.run(cmd, capture_output=True, text=True)
        try:
            s = json.loads(c.stdout)
            rows.append((name, goal, float(s["content_match"]), float(s["ssim"]), ""))
        except (ValueError, KeyError):
            rows.append((name, goal, 0.0, 0.0, c.stderr.strip() or c.stdout.strip()))
    print(f"{'movie':42} {'goal':4} {'content':>8} {'ssim':>7}")
    for name, goal, content, ssim, note in rows:
        print(f"{name:42} {'yes' if goal else '':4} {content:8.3f} {ssim:7.3f} {note}")
    goals = [r for r in rows if r[1]]
    for label, subset in (("median, goal set", goals), ("median, all movies", rows)):
        if subset:
            print(f"{label:47} {statistics.median(r[2] for r in subset):8.3f} "
                  f"{statistics.median(r[3] for r in subset):7.3f}")
    if goals:
        print(f"lowest in goal set: {min(r[2] for r in goals):.3f}")
    if args.picture:
        montage(args.picture[0], args.picture[1:], args.movies, args.out, {r[0]: r for r in rows})
    return 0


def montage(path, names, movies, out, scores):
    from PIL import Image, ImageDraw

    tiles = []
    for n in names:
        row = [Image.open(p).convert("RGB") for p in (os.path.join(out, n + ".png"),
                                                      os.path.join(movies, n + ".ruffle.png"),
                                                      os.path.join(out, n + ".diff.png"))]
        tiles.append((n, row))
    cell_w = max(im.width for _, row in tiles for im in row)
    cell_h = max(im.height for _, row in tiles for im in row)
    pic = Image.new("RGB", (cell_w * 3 + 40, (cell_h + 24) * len(tiles) + 24), "white")
    draw = ImageDraw.Draw(pic)
    for i, title in enumerate(("Flickwell", "reference", "difference")):
        draw.text((10 + i * (cell_w + 10), 6), title, fill="black")
    for r, (n, row) in enumerate(tiles):
        y = 24 + r * (cell_h + 24)
        draw.text((10, y + 4), f"{n}: content {scores[n][2]:.3f}, ssim {scores[n][3]:.3f}", fill="black")
        for c, im in enumerate(row):
            pic.paste(im, (10 + c * (cell_w + 10), y + 20))
    pic.save(path)


if __name__ == "__main__":
    sys.exit(main())
