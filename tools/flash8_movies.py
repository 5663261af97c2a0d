#!/usr/bin/python3
"""Writes the test movies of Flash 8's classes: BitmapData (drawn, filled, noise, Perlin
noise, attached, stretched, as a fill), filters assigned by script on shapes, blend modes,
MovieClip.transform with negative colour multipliers, and a mask at alpha 0 on a stage that
is not square. Scripts are assembled from a few expression helpers below. Reference
pictures come from the reference player (../shared/tools/ruffle-ref/render.sh) as
NAME.ruffle.png.

Usage: tools/flash8_movies.py OUT_DIR"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from swfwriter import *  # noqa: E402,F403
from engine_movies import rect_path, box  # noqa: E402

GETVAR, SETVAR, GETMEMBER, SETMEMBER = b"\x1c", b"\x1d", b"\x4e", b"\x4f"
CALLMETHOD, NEWMETHOD, INITARRAY, POP = b"\x52", b"\x53", b"\x42", b"\x17"


# ---- expressions: each leaves one value on the stack ----
def N(v):
    return push(v)


def V(name):
    return push(name) + GETVAR


def M(obj, name):
    return obj + push(name) + GETMEMBER


NULL = b"\x96\x01\x00\x02"


def P(v):
    """A pushed literal; integers past 32 bits (colours with alpha) go as doubles."""
    if isinstance(v, int) and not isinstance(v, bool) and not -2**31 <= v < 2**31:
        return push(float(v))
    return push(v)


def args_of(args):
    return b"".join(a if isinstance(a, bytes) else NULL if a is None else P(a)
                    for a in reversed(args)) + push(len(args))


def NEW(package, cls, *args):
    return args_of(args) + M(V("flash"), package) + push(cls) + NEWMETHOD


def CALL(obj, name, *args):
    return args_of(args) + obj + push(name) + CALLMETHOD


def ARR(*items):
    return args_of(items) + INITARRAY


# ---- statements ----
def SETV(name, value):
    return push(name) + (value if isinstance(value, bytes) else P(value)) + SETVAR


def SETM(obj, name, value):
    return obj + push(name) + (value if isinstance(value, bytes) else P(value)) + SETMEMBER


def DO(expr):
    return expr + POP


def RECT(x, y, w, h):
    return NEW("geom", "Rectangle", x, y, w, h)


def PT(x, y):
    return NEW("geom", "Point", x, y)


def action(*statements):
    return tag(12, b"".join(statements) + b"\0")


def write(out, name, tags, size=(240 * 20, 180 * 20), frames=1):
    body = [set_background((255, 255, 255))] + tags + [end()]
    with open(os.path.join(out, name + ".swf"), "wb") as f:
        f.write(movie(body, size[0], size[1], 12, frames, version=8))


def clip_with_bitmap(name, depth, bitmap, x, y, smooth=False):
    """_root.createEmptyMovieClip(name, depth).attachBitmap(bitmap, 1, "auto", smooth) at x, y."""
    return (SETV(name, CALL(V("_root"), "createEmptyMovieClip", name, depth))
            + DO(CALL(V(name), "attachBitmap", V(bitmap), 1, "auto", smooth))
            + SETM(V(name), "_x", x) + SETM(V(name), "_y", y))


def bitmap_movie(out):
    s = [
        # Filled rectangles, one partly off the bitmap, a pixel, a flood fill and a copy.
        SETV("b", NEW("display", "BitmapData", 60, 40, False, 0xFF336699)),
        DO(CALL(V("b"), "fillRect", RECT(10, 10, 20, 10), 0xFFFF0000)),
        DO(CALL(V("b"), "fillRect", RECT(-5, -5, 12, 12), 0xFF00C000)),
        DO(CALL(V("b"), "fillRect", RECT(40, 25, 40, 40), 0xFFFFFF00)),
        DO(CALL(V("b"), "floodFill", 30, 30, 0xFF202020)),
        DO(CALL(V("b"), "copyPixels", V("b"), RECT(10, 10, 10, 10), PT(45, 2))),
        DO(CALL(V("b"), "setPixel32", 0, 39, 0xFFFFFFFF)),
        clip_with_bitmap("a", 1, "b", 10, 10),
        # Grey noise from a seed, and Perlin noise in colour.
        SETV("n", NEW("display", "BitmapData", 40, 40, False, 0)),
        DO(CALL(V("n"), "noise", 42, 0, 255, 7, True)),
        clip_with_bitmap("c", 2, "n", 80, 10),
        SETV("p", NEW("display", "BitmapData", 64, 64, False, 0)),
        DO(CALL(V("p"), "perlinNoise", 20, 15, 3, 7, False, True, 7, False)),
        clip_with_bitmap("d", 3, "p", 130, 10),
        # A 4 x 4 checker stretched eight times along x only, smoothed.
        SETV("k", NEW("display", "BitmapData", 4, 4, False, 0xFF000000)),
        DO(CALL(V("k"), "fillRect", RECT(0, 0, 2, 2), 0xFFFFFFFF)),
        DO(CALL(V("k"), "fillRect", RECT(2, 2, 2, 2), 0xFFFFFFFF)),
        clip_with_bitmap("e", 4, "k", 10, 70, True),
        SETM(V("e"), "_xscale", 800), SETM(V("e"), "_yscale", 400),
        # The first bitmap as a repeating fill of a drawn triangle.
        SETV("f", CALL(V("_root"), "createEmptyMovieClip", "f", 5)),
        DO(CALL(V("f"), "beginBitmapFill", V("b"), NEW("geom", "Matrix", 0.5, 0, 0, 0.5, 0, 0), True,
                False)),
        DO(CALL(V("f"), "moveTo", 100, 70)), DO(CALL(V("f"), "lineTo", 230, 70)),
        DO(CALL(V("f"), "lineTo", 160, 170)), DO(CALL(V("f"), "endFill")),
        # A translucent bitmap with a colour transform and a threshold, drawn into another.
        SETV("t", NEW("display", "BitmapData", 50, 50, True, 0x800000FF)),
        DO(CALL(V("t"), "colorTransform", RECT(0, 0, 25, 50),
                NEW("geom", "ColorTransform", 1, 1, 1, 1, 200, 0, -100, 60))),
        DO(CALL(V("t"), "threshold", V("t"), RECT(0, 0, 50, 50), PT(0, 0), ">", 0x80000000, 0xFF00FF00,
                0xFF000000, True)),
        DO(CALL(V("t"), "draw", V("b"), NEW("geom", "Matrix", 1, 0, 0, 1, 10, 30), None, None,
                RECT(0, 30, 50, 20))),
        clip_with_bitmap("g", 6, "t", 10, 120),
    ]
    write(out, "flash8_bitmap", [action(*s), show_frame()])


def l_shape(shape_id, color):
    p = Path().style(move=(0, 0), fill1=1, line=0)
    p.poly([(600, 0), (600, 300), (300, 300), (300, 600), (0, 600), (0, 0)])
    return define_shape(shape_id, (0, 600, 0, 600), [fill_solid(color)], [], p)


def filters_movie(out):
    red, blue, green = rgba(220, 40, 40), rgba(40, 80, 220), rgba(40, 170, 60)
    tags = [l_shape(1, red), l_shape(2, blue), define_shape(3, (0, 1200, 0, 800), [fill_solid(green)], [],
                                                              rect_path(0, 0, 1200, 800))]
    spots = [(10, 10), (70, 10), (130, 10), (190, 10), (10, 70), (70, 70), (130, 70), (190, 70),
             (10, 125), (70, 125)]
    for i, (x, y) in enumerate(spots):
        tags.append(place_object2(10 + i, 1 if i % 2 == 0 else 2, matrix(tx=x * 20, ty=y * 20), name="s%d" % i))
    # Blend modes over a green bar.
    tags.append(place_object2(30, 3, matrix(tx=140 * 20, ty=130 * 20)))
    tags.append(place_object2(31, 1, matrix(tx=150 * 20, ty=120 * 20), name="m1"))
    tags.append(place_object2(32, 2, matrix(tx=180 * 20, ty=140 * 20), name="m2"))
    # A layer of green at half size whose red L erases what lies below it in the layer.
    tags.append(define_sprite(4, 1, [place_object2(1, 3, matrix()), place_object2(2, 1, matrix(), name="e"),
                                     show_frame()]))
    tags.append(place_object2(33, 4, matrix(0.5, 0.5, tx=105 * 20, ty=150 * 20), name="g"))
    F = lambda cls, *a: NEW("filters", cls, *a)  # noqa: E731
    assign = [
        ("s0", F("BlurFilter", 8, 8, 2)),
        ("s1", F("DropShadowFilter", 6, 45, 0x000000, 0.8, 6, 6, 1, 2)),
        ("s2", F("GlowFilter", 0x00A000, 1, 10, 10, 2, 2)),
        ("s3", F("BevelFilter", 4, 45, 0xFFFFFF, 1, 0x000000, 1, 6, 6, 1, 2, "inner")),
        ("s4", F("GradientGlowFilter", 0, 45, ARR(0xFF0000, 0xFFFF00), ARR(0, 1), ARR(0, 255), 10, 10, 2, 2,
                 "outer")),
        ("s5", F("ColorMatrixFilter", ARR(*([0.33, 0.33, 0.33, 0, 0] * 3 + [0, 0, 0, 1, 0])))),
        ("s6", F("ConvolutionFilter", 3, 3, ARR(0, -1, 0, -1, 5, -1, 0, -1, 0))),
        ("s7", F("GlowFilter", 0x000000, 1, 8, 8, 2, 2, True)),
        ("s8", F("DropShadowFilter", 4, 45, 0x0000FF, 1, 4, 4, 1, 1, False, True)),
        ("s9", F("GradientBevelFilter", 4, 45, ARR(0xFFFFFF, 0xFF0000, 0x000000), ARR(1, 0, 1),
                 ARR(0, 128, 255), 4, 4, 1, 2, "inner")),
    ]
    s = [SETM(V(name), "filters", ARR(f)) for name, f in assign]
    s += [SETM(V("m1"), "blendMode", "multiply"), SETM(V("m2"), "blendMode", "difference"),
          SETM(V("g"), "blendMode", "layer"), SETM(M(V("g"), "e"), "blendMode", "erase")]
    write(out, "flash8_filters", tags + [action(*s), show_frame()])


# ---- FILTERLIST records (PlaceObject3), for the filters the timeline carries ----
def fixed(v):
    return struct.pack("<i", int(v * 65536))


def fixed8(v):
    return struct.pack("<h", int(v * 256))


def glow(color, bx, by, strength, passes, inner=False, knockout=False):
    flags = (0x80 if inner else 0) | (0x40 if knockout else 0) | 0x20 | passes
    return b"\x02" + color + fixed(bx) + fixed(by) + fixed8(strength) + bytes([flags])


def bevel(shadow, highlight, bx, by, angle, distance, strength, passes, inner=True, on_top=False):
    flags = (0x80 if inner else 0) | 0x20 | (0x10 if on_top else 0) | passes
    return (b"\x03" + highlight + shadow + fixed(bx) + fixed(by) + fixed(angle) + fixed(distance)
            + fixed8(strength) + bytes([flags]))


def gradient_filter(kind, stops, bx, by, angle, distance, strength, passes, inner=False, on_top=False):
    flags = (0x80 if inner else 0) | 0x20 | (0x10 if on_top else 0) | passes
    body = bytes([kind, len(stops)]) + b"".join(c for _, c in stops) + bytes(r for r, _ in stops)
    return body + fixed(bx) + fixed(by) + fixed(angle) + fixed(distance) + fixed8(strength) + bytes([flags])


def convolution(mx, my, kernel, divisor=1.0, bias=0.0, clamp=True, preserve=True):
    return (b"\x05" + bytes([mx, my]) + struct.pack("<ff", divisor, bias)
            + b"".join(struct.pack("<f", k) for k in kernel) + rgba(0, 0, 0, 0)
            + bytes([(0x02 if clamp else 0) | (0x01 if preserve else 0)]))


def color_matrix(m):
    return b"\x06" + b"".join(struct.pack("<f", v) for v in m)


def filter_list(*filters):
    return bytes([len(filters)]) + b"".join(filters)


def timeline_filters_movie(out):
    """The filters as PlaceObject3 carries them, on L shapes whose wide part must survive
    the blur's bounds (gradient glows and bevels, which the reference player does not draw,
    are in flash8_filters, checked by pixels)."""
    red, blue = rgba(220, 40, 40), rgba(40, 80, 220)
    tags = [l_shape(1, red), l_shape(2, blue)]
    lists = [
        filter_list(b"\x01" + fixed(10) + fixed(10) + bytes([2 << 3])),
        filter_list(glow(rgba(0, 160, 0), 10, 10, 2, 2)),
        filter_list(glow(rgba(0, 0, 0), 8, 8, 2, 2, inner=True)),
        filter_list(bevel(rgba(0, 0, 0), rgba(255, 255, 255), 6, 6, 0.785, 4, 1, 2)),
        filter_list(b"\x01" + fixed(16) + fixed(2) + bytes([1 << 3])),
        filter_list(b"\x00" + rgba(0, 0, 0) + fixed(6) + fixed(6) + fixed(0.785) + fixed(4) + fixed8(1)
                    + bytes([0x80 | 0x20 | 2])),
        filter_list(convolution(3, 3, [0, -1, 0, -1, 5, -1, 0, -1, 0])),
        filter_list(color_matrix([0.33, 0.33, 0.33, 0, 0] * 3 + [0, 0, 0, 1, 0])),
    ]
    spots = [(15, 15), (75, 15), (135, 15), (190, 15), (15, 95), (75, 95), (135, 95), (190, 95)]
    for i, ((x, y), fl) in enumerate(zip(spots, lists)):
        tags.append(place_object3(1 + i, 1 if i % 2 == 0 else 2, matrix(1.2, 1.2, tx=x * 20, ty=y * 20),
                                  filters=fl))
    write(out, "flash8_filters_tags", tags + [show_frame()])


def transform_movie(out):
    """MovieClip.transform: a skewing matrix, negative colour multipliers, a mask at alpha 0
    and a stage wider than tall."""
    tags = [define_shape(1, (0, 800, 0, 800), [fill_solid(rgba(200, 60, 30))], [], rect_path(0, 0, 800, 800)),
            define_shape(2, (0, 1600, 0, 400), [fill_solid(rgba(30, 30, 220))], [], rect_path(0, 0, 1600, 400))]
    tags += [place_object2(1, 1, matrix(tx=200, ty=200), name="a"),
             place_object2(2, 1, matrix(tx=1400, ty=200), name="b"),
             place_object2(3, 1, matrix(tx=2600, ty=200), name="c"),
             place_object2(4, 2, matrix(tx=3800, ty=400), name="d"),
             place_object2(5, 1, matrix(tx=4000, ty=300), name="e")]
    s = [
        SETM(M(V("a"), "transform"), "matrix", NEW("geom", "Matrix", 1, 0.3, -0.5, 1.2, 20, 12)),
        # Red inverted by a negative multiplier with an offset; green and blue left.
        SETM(M(V("b"), "transform"), "colorTransform", NEW("geom", "ColorTransform", -1, 1, 0.5, 1, 255, 0, 40, 0)),
        SETV("m", M(M(V("c"), "transform"), "matrix")),
        DO(CALL(V("m"), "rotate", 0.5)), DO(CALL(V("m"), "scale", 1.5, 0.8)), DO(CALL(V("m"), "translate", 10, 5)),
        SETM(M(V("c"), "transform"), "matrix", V("m")),
        # A mask made invisible by its alpha still masks.
        SETM(V("d"), "_alpha", 0), DO(CALL(V("e"), "setMask", V("d"))),
    ]
    write(out, "flash8_transform", tags + [action(*s), show_frame()], size=(300 * 20, 90 * 20))


def scale9_movie(out):
    """scale9Grid: a framed square scaled 2 x 0.5 keeps its 10-pixel frame; a red square in a
    sprite of its own inside it is scaled as it stands."""
    tags = [define_shape(1, (0, 2000, 0, 2000), [fill_solid(rgba(0, 0, 0))], [], rect_path(0, 0, 2000, 2000)),
            define_shape(2, (200, 1800, 200, 1800), [fill_solid(rgba(255, 255, 255))], [],
                         rect_path(200, 200, 1800, 1800)),
            define_shape(4, (0, 400, 0, 400), [fill_solid(rgba(255, 0, 0))], [], rect_path(0, 0, 400, 400)),
            define_sprite(5, 1, [place_object2(1, 4, matrix()), show_frame()]),
            define_sprite(3, 1, [place_object2(1, 1, matrix()), place_object2(2, 2, matrix()),
                                 place_object2(3, 5, matrix(tx=800, ty=800)), show_frame()]),
            place_object2(1, 3, matrix(tx=200, ty=200), name="p")]
    s = [SETM(V("p"), "scale9Grid", RECT(10, 10, 80, 80)), SETM(V("p"), "_xscale", 200),
         SETM(V("p"), "_yscale", 50)]
    write(out, "flash8_scale9", tags + [action(*s), show_frame()])


def line_fill_movie(out):
    """A 30-pixel line filled with a repeating two-pixel bitmap, each pixel 50 wide."""
    path = Path().style(move=(200, 600), line=1).line(4400, 600)
    fill = fill_bitmap(1, matrix(1000, 1000), repeat=True, smooth=False)
    tags = [define_bits_lossless(1, 2, 1, [[(255, 220, 0, 0), (255, 0, 0, 220)]]),
            define_shape(2, (0, 4600, 0, 1200), [], [line_style2(600, fill=fill, start_cap=1, end_cap=1)], path,
                         version=4),
            place_object2(1, 2, matrix())]
    write(out, "flash8_linefill", tags + [show_frame()])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    bitmap_movie(out)
    filters_movie(out)
    transform_movie(out)
    timeline_filters_movie(out)
    scale9_movie(out)
    line_fill_movie(out)


if __name__ == "__main__":
    main()
