#!/usr/bin/env python3
"""Writes the still movie of the end user's story: on a coloured stage, a solid rectangle,
a rectangle with a linear gradient and one filled with a lossless bitmap, one frame.

Usage: make_end_user_movie.py OUT.swf"""

import struct
import sys
import zlib

import swfwriter as swf

BACKGROUND = (0x1E, 0x4A, 0x7A)
WIDTH, HEIGHT = 550 * 20, 400 * 20
DEFINE_BITS_LOSSLESS = 20


def matrix(scale=None, translate=(0, 0)):
    b = swf.Bits()
    if scale is None:
        b.u(0, 1)
    else:
        fixed = [int(round(v * 65536)) for v in scale]
        n = swf.sbits_needed(*fixed)
        b.u(1, 1)
        b.u(n, 5)
        for v in fixed:
            b.s(v, n)
    b.u(0, 1)  # no rotation
    n = swf.sbits_needed(*translate)
    b.u(n, 5)
    for v in translate:
        b.s(v, n)
    return b.bytes()


def rect_shape(shape_id, width, height, fill_style):
    """A rectangle from (0,0) to (width,height) twips filled with one fill style."""
    body = struct.pack("<H", shape_id) + swf.rect(0, width, 0, height)
    body += bytes([1]) + fill_style + bytes([0])  # one fill, no lines
    b = swf.Bits()
    b.u(1, 4)
    b.u(0, 4)
    b.u(0, 1)
    b.u(0b00011, 5)  # new fill 0 and a move
    b.u(1, 5)
    b.s(0, 1)
    b.s(0, 1)
    b.u(1, 1)
    for dx, dy in ((width, 0), (0, height), (-width, 0), (0, -height)):
        n = max(swf.sbits_needed(dx, dy), 2)
        b.u(1, 1)
        b.u(1, 1)
        b.u(n - 2, 4)
        b.u(0, 1)
        b.u(1 if dx == 0 else 0, 1)
        b.s(dy if dx == 0 else dx, n)
    b.u(0, 6)
    return swf.tag(swf.DEFINE_SHAPE, body + b.bytes())


def solid(rgb):
    return bytes([0x00]) + bytes(rgb)


def linear_gradient(width, height, stops):
    # The gradient square spans -16384..16384 twips; stretch it over the rectangle.
    m = matrix((width / 32768.0, height / 32768.0), (width // 2, height // 2))
    records = b"".join(bytes([ratio]) + bytes(rgb) for ratio, rgb in stops)
    return bytes([0x10]) + m + bytes([len(stops)]) + records


def bitmap_fill(bitmap_id, pixel_twips):
    # Clipped bitmap fill; the matrix maps bitmap pixels to twips.
    return bytes([0x41]) + struct.pack("<H", bitmap_id) + matrix((pixel_twips, pixel_twips))


def lossless_bitmap(bitmap_id, width, height):
    """A 32-bit bitmap: four coloured quarters with a lighter diagonal band."""
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b = ((0xD0, 0x40, 0x30) if x < width // 2 else (0x30, 0xA0, 0x50)) \
                if y < height // 2 else ((0xE8, 0xC0, 0x30) if x < width // 2 else (0x60, 0x40, 0xB0))
            if abs(x - y) < 2:
                r, g, b = (255, 255, 255)
            pixels += bytes([0xFF, r, g, b])
    body = struct.pack("<HBHH", bitmap_id, 5, width, height) + zlib.compress(bytes(pixels))
    return swf.tag(DEFINE_BITS_LOSSLESS, body)


def place(depth, character, x, y):
    return swf.place(depth, x, y, character=character)


def end_user_movie():
    tags = [
        swf.set_background(BACKGROUND),
        rect_shape(1, 160 * 20, 120 * 20, solid((0xF2, 0xA0, 0x2C))),
        rect_shape(2, 300 * 20, 90 * 20,
                   linear_gradient(300 * 20, 90 * 20, [(0, (0xFF, 0xFF, 0xFF)), (255, (0x10, 0x10, 0x10))])),
        lossless_bitmap(3, 32, 32),
        rect_shape(4, 32 * 5 * 20, 32 * 5 * 20, bitmap_fill(3, 5 * 20)),
        place(1, 1, 40 * 20, 40 * 20),
        place(2, 2, 220 * 20, 60 * 20),
        place(3, 4, 300 * 20, 200 * 20),
        swf.show_frame(),
        swf.end(),
    ]
    return swf.movie(tags, WIDTH, HEIGHT, 12, 1, version=8)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(end_user_movie())
