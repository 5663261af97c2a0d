#!/usr/bin/env python3
"""Draws Flickwell's own art: the three program icons and the wizard's side picture.

    make_art.py OUTDIR  ->  wizard.ico saver.ico setup.ico wizard_side.bmp
"""

import math
import os
import struct
import sys


def lerp(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def flicker_flame(x, y, size):
    """1.0 inside a flame-like teardrop centred in a square of `size`, else 0.0."""
    cx, cy = size / 2, size * 0.58
    dx, dy = (x + 0.5 - cx) / (size * 0.30), (y + 0.5 - cy) / (size * 0.40)
    if dy < 0:  # pointed top
        dx /= (1 + dy * 0.9) if dy > -1 else 0.1
    return 1.0 if dx * dx + dy * dy <= 1 else 0.0


def icon_pixels(size, frame, flame_a, flame_b):
    """RGBA rows, top first: a rounded frame in `frame` colour holding a flame."""
    rows = []
    r = size * 0.18
    for y in range(size):
        row = []
        for x in range(size):
            # Rounded square mask.
            qx = min(x + 0.5, size - x - 0.5)
            qy = min(y + 0.5, size - y - 0.5)
            inside = not (qx < r and qy < r and math.hypot(r - qx, r - qy) > r)
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            t = y / max(size - 1, 1)
            rgb = lerp(frame, tuple(max(c - 60, 0) for c in frame), t)
            if flicker_flame(x, y, size):
                rgb = lerp(flame_a, flame_b, t)
            row.append(rgb + (255,))
        rows.append(row)
    return rows


def ico_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def write_ico(path, frame, flame_a, flame_b):
    images = [ico_image(icon_pixels(s, frame, flame_a, flame_b)) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_side_bitmap(path, width=152, height=290):
    """8 bits per pixel: a dusk gradient with a band of flames along the bottom."""
    top, bottom = (0x12, 0x2A, 0x55), (0xE8, 0x7A, 0x2A)
    palette = [lerp(top, bottom, i / 199) for i in range(200)]
    flame_a, flame_b = (0xFF, 0xE0, 0x70), (0xF0, 0x60, 0x20)
    palette += [lerp(flame_a, flame_b, i / 55) for i in range(56)]
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            index = int(199 * y / (height - 1))
            # Three flames rising from the bottom edge.
            for k, cx in enumerate((38, 76, 114)):
                h = 90 + 25 * (k % 2)
                fy = height - y
                if 0 < fy < h:
                    half = 22 * math.sin(math.pi * fy / h) * (1 - fy / (h * 1.15))
                    if abs(x - cx) < half:
                        index = 200 + min(55, int(55 * fy / h))
            row.append(index)
        pixels.append(row)
    stride = (width + 3) & ~3
    data = b"".join(bytes(row) + bytes(stride - width) for row in reversed(pixels))
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + pal + data)


if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "wizard.ico"), (0x2D, 0x5F, 0xA8), (0xFF, 0xE0, 0x70), (0xF0, 0x60, 0x20))
    write_ico(os.path.join(out, "saver.ico"), (0x1E, 0x4A, 0x7A), (0x9F, 0xE8, 0xFF), (0x30, 0x90, 0xF0))
    write_ico(os.path.join(out, "setup.ico"), (0x3A, 0x7D, 0x3A), (0xFF, 0xE0, 0x70), (0xF0, 0x60, 0x20))
    write_side_bitmap(os.path.join(out, "wizard_side.bmp"))
