#!/usr/bin/env python3
"""Writes the screen saver's default movie: a square gliding across a coloured stage."""

import sys

import swfwriter as swf

# The stage colour is what a screenshot of the playing default movie shows most of.
BACKGROUND = (0x1E, 0x4A, 0x7A)
SQUARE = (0xF2, 0xA0, 0x2C)
WIDTH, HEIGHT = 550 * 20, 400 * 20  # twips
FRAMES = 48
RATE = 12


def default_movie():
    side = 80 * 20
    tags = [swf.set_background(BACKGROUND), swf.define_rect_shape(1, side, side, SQUARE)]
    for frame in range(FRAMES):
        # There and back along a diagonal, so the loop has no jump.
        t = frame / (FRAMES / 2)
        t = t if t <= 1 else 2 - t
        x = int(20 * 20 + t * (WIDTH - side - 40 * 20))
        y = int(20 * 20 + t * (HEIGHT - side - 40 * 20))
        tags.append(swf.place(1, x, y, character=1 if frame == 0 else None))
        tags.append(swf.show_frame())
    tags.append(swf.end())
    return swf.movie(tags, WIDTH, HEIGHT, RATE, FRAMES, version=5)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(default_movie())
