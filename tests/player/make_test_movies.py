#!/usr/bin/env python3
"""Writes movies for the player's reader tests with the project's independent writer:
a square placed and moved over five frames, plain and compressed."""

import os
import sys

import swfwriter as swf

SIDE = 40 * 20
POSITIONS = [(100 * 20, 50 * 20), (120 * 20, 60 * 20), (-5 * 20, 7 * 20), (0, 0), (4000, -300)]


def movie(compress):
    tags = [swf.set_background((0xC0, 0x10, 0x5A)), swf.define_rect_shape(1, SIDE, SIDE, (1, 2, 3))]
    for i, (x, y) in enumerate(POSITIONS):
        tags.append(swf.place(1, x, y, character=1 if i == 0 else None))
        tags.append(swf.show_frame())
    tags.append(swf.end())
    return swf.movie(tags, 320 * 20, 240 * 20, 15, len(POSITIONS), version=6, compress=compress)


if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, compress in (("player_shapes.swf", False), ("player_shapes_cws.swf", True)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(movie(compress))
