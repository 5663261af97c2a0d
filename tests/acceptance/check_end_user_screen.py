#!/usr/bin/env python3
"""The end user's screenshot of the playing saver against the engine's own picture of the
same movie at the screen's size (flickwell-render, showAll): compare.py's `content`, the
share of matching pixels where either picture shows more than the stage colour, must be
at least 0.9. Without a native renderer built, only the stage colour around the movie is
checked.

Usage: check_end_user_screen.py SCREENSHOT.bmp MOVIE.swf COMPARE.py [RENDERER]"""

import json
import os
import subprocess
import sys
import tempfile

from PIL import Image

STAGE = (0x1E, 0x4A, 0x7A)
MIN_CONTENT = 0.9


def renderer(given):
    here = os.path.dirname(os.path.abspath(__file__))
    candidates = [given] if given else []
    candidates.append(os.path.join(here, "..", "..", "build-native", "tools", "render",
                                   "flickwell-render"))
    return next((c for c in candidates if c and os.access(c, os.X_OK)), None)


def main():
    shot_path, movie = sys.argv[1], sys.argv[2]
    shot = Image.open(shot_path).convert("RGB")
    width, height = shot.size
    corners = [shot.getpixel(p) for p in ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1))]
    if any(c != STAGE for c in corners):
        print("the screen's corners show %s, not the stage colour %s" % (corners, STAGE))
        return 1
    compare = sys.argv[3]
    render = renderer(sys.argv[4] if len(sys.argv) > 4 else None)
    if render is None:
        print("no native renderer: checked the stage colour only")
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        ours = os.path.join(tmp, "engine.png")
        screen = os.path.join(tmp, "screen.png")
        subprocess.run([render, "--width", str(width), "--height", str(height), movie, ours],
                       check=True)
        shot.save(screen)
        out = subprocess.run([sys.executable, compare, "--json", screen, ours], check=True,
                             capture_output=True, text=True).stdout
    scores = json.loads(out)
    content = scores["content_match"]
    print("content %.3f (at least %.2f) over %d pixels, ssim %s" %
          (content, MIN_CONTENT, scores["content_px"], scores["ssim"]))
    return 0 if content >= MIN_CONTENT else 1


if __name__ == "__main__":
    sys.exit(main())
