#!/usr/bin/python3
"""Writes the engine's test movies, one per group of drawing features, and the heavy
movie the benchmark draws. Their reference pictures come from the reference player
(../shared/tools/ruffle-ref/render.sh) and sit beside them as NAME.ruffle.png.

Usage: tools/engine_movies.py OUT_DIR [NAME...] the test movies (or those NAMEs made)
       tools/engine_movies.py OUT_DIR --heavy  the benchmark's movie only"""

import io
import struct
import math
import os
import zlib
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from swfwriter import *  # noqa: E402,F403

W, H = 240 * 20, 180 * 20  # stage in twips
WHITE = (255, 255, 255)


def box(x0, y0, x1, y1):
    return [(x1, y0), (x1, y1), (x0, y1), (x0, y0)]


def rect_path(x0, y0, x1, y1, fill=1, line=0):
    p = Path().style(move=(x0, y0), fill1=fill, line=line)
    return p.poly(box(x0, y0, x1, y1))


def write(out, name, tags, frames=1, version=8, background=WHITE, size=(W, H)):
    body = [set_background(background)] + tags + [end()]
    with open(os.path.join(out, name + ".swf"), "wb") as f:
        f.write(movie(body, size[0], size[1], 12, frames, version=version))


def shapes(out):
    red, blue = rgba(220, 30, 30), rgba(30, 60, 220, 160)
    # A square with a square hole and a shared edge between two fills, plus curves.
    p = Path().style(move=(400, 400), fill1=1, line=0).poly(box(400, 400, 2000, 2000))
    p.style(move=(800, 800), fill0=1, fill1=0).poly([(800, 1600), (1600, 1600), (1600, 800), (800, 800)])
    p.style(move=(2000, 400), fill0=1, fill1=2).line(2000, 2000)
    p.style(fill0=0, fill1=2).line(3200, 2000).line(3200, 400).line(2000, 400)
    p.style(move=(1000, 2400), fill0=0, fill1=3).curve(2200, 2000, 3400, 2400).curve(3800, 3000, 3000, 3400)
    p.line(1000, 3400).curve(600, 2900, 1000, 2400)
    fills = [fill_solid(red), fill_solid(rgba(40, 160, 60)), fill_solid(blue)]
    tags = [define_shape(1, (0, 4000, 0, 3600), fills, [], p)]
    # Overlapping translucent shape drawn later, through a rotation.
    q = rect_path(-600, -600, 600, 600)
    tags += [define_shape(2, (-600, 600, -600, 600), [fill_solid(rgba(250, 200, 0, 128))], [], q)]
    tags += [place_object2(1, 1, matrix()), place_object2(2, 2, matrix(0.8, 0.8, 0.5, -0.5, 3600, 1200))]
    write(out, "shapes", tags + [show_frame()])


def gradients(out):
    sq = lambda s, tx, ty: matrix(s / 32768 * 1.0, s / 32768 * 1.0, 0, 0, tx, ty)
    stops = [(0, rgba(255, 0, 0)), (128, rgba(255, 255, 0)), (255, rgba(0, 0, 255))]
    alpha = [(0, rgba(0, 128, 0, 255)), (255, rgba(0, 128, 0, 0))]
    fills = [
        fill_gradient("linear", sq(1400, 700, 700), stops),
        fill_gradient("radial", sq(700, 2300, 700), stops, spread=1),
        fill_gradient("focal", sq(1400, 3900, 700), stops, spread=2, focal=0.6),
        fill_gradient("linear", matrix(0.02, 0.02, 0.02, -0.02, 1500, 2600), alpha),
        fill_gradient("radial", sq(1400, 3200, 2700), stops, interp=1),
    ]
    p = Path().style(move=(0, 0), fill1=1).poly(box(0, 0, 1400, 1400))
    p.style(move=(1600, 0), fill1=2).poly(box(1600, 0, 3000, 1400))
    p.style(move=(3200, 0), fill1=3).poly(box(3200, 0, 4600, 1400))
    p.style(move=(200, 1800), fill1=4).poly(box(200, 1800, 2800, 3400))
    p.style(move=(2400, 1900), fill1=5).curve(3200, 1500, 4000, 1900).curve(4400, 2700, 4000, 3500)
    p.line(2400, 3500).line(2400, 1900)
    # A morph's bar between the rows, its red to blue gradient 50 pixels wide and reflected.
    grad = matrix(1000 / 32768, 1000 / 32768, 0, 0, 500, 1600)
    red, blue = rgba(255, 0, 0), rgba(0, 0, 255)
    mfill = b"\x10" + grad + grad + bytes([1 << 6 | 2, 0]) + red + bytes([0]) + red + bytes([255]) + blue
    mfill += bytes([255]) + blue
    bar = Path().style(move=(0, 1440), fill1=1).poly(box(0, 1440, 4800, 1760))
    bar_end = Path().style(move=(0, 1440)).poly(box(0, 1440, 4800, 1760))
    write(out, "gradients", [define_shape(1, (0, 4800, 0, 3600), fills, [], p), place_object2(1, 1, matrix()),
                             define_morph_shape(2, (0, 4800, 1440, 1760), (0, 4800, 1440, 1760), [mfill], [], bar,
                                                bar_end),
                             place_object2(2, 2, matrix(), ratio=0), show_frame()])


def lines(out):
    black, red, green = rgba(0, 0, 0), rgba(200, 0, 0, 200), rgba(0, 150, 0)
    ls = [
        line_style2(0, black),
        line_style2(20, black),
        line_style2(160, red),
        line_style2(200, green, start_cap=1, end_cap=2, join=1),
        line_style2(240, rgba(0, 0, 200), start_cap=2, end_cap=1, join=2, miter=3.0),
        line_style2(120, fill=fill_gradient("linear", matrix(0.1, 0.1, 0, 0, 2400, 3000),
                                            [(0, rgba(255, 0, 255)), (255, rgba(0, 200, 200))])),
    ]
    p = Path().style(move=(200, 200), line=1).line(4400, 200)
    p.style(move=(200, 500), line=2).line(4400, 700)
    p.style(move=(400, 1000), line=3).line(1400, 1600).line(2400, 1000).curve(3400, 400, 4400, 1600)
    p.style(move=(400, 2000), line=4).line(1200, 2800).line(2000, 2000)
    p.style(move=(2600, 2000), line=5).line(3400, 2800).line(4200, 2000)
    p.style(move=(400, 3300), line=6).curve(2400, 2600, 4400, 3300)
    # A closed triangle: its first corner is a join, not two caps.
    p.style(move=(2100, 2300), line=3).line(2400, 2900).line(1800, 2900).line(2100, 2300)
    write(out, "lines", [define_shape(1, (0, 4800, 0, 3600), [], ls, p, version=4), place_object2(1, 1, matrix()),
                         show_frame()])


def scaled_lines(out):
    """LineStyle2's scale flags: the same lines through a threefold scale, one pair keeping
    its width, one pair scaling with the object."""
    keep = struct.pack("<HBB", 60, 0x06, 0) + rgba(0, 0, 180)  # no horizontal/vertical scale
    scale = line_style2(60, rgba(180, 0, 0))
    p = Path().style(move=(0, 0), line=1).line(1200, 300).style(move=(0, 300), line=2).line(1200, 600)
    shape = define_shape(1, (0, 1200, 0, 600), [], [keep, scale], p, version=4)
    flags_at = 2 + 2 + 2 * len(rect(0, 1200, 0, 600))  # tag header, id, two rectangles
    shape = shape[:flags_at] + b"\x03" + shape[flags_at + 1:]  # uses scaling and non-scaling strokes
    tags = [shape,
            place_object2(1, 1, matrix(3, 3, 0, 0, 200, 200)), place_object2(2, 1, matrix(1, 1, 0, 0, 200, 2600))]
    write(out, "scaled_lines", tags + [show_frame()])


def checker(n, cell):
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            on = ((x // cell) + (y // cell)) % 2 == 0
            a = 255 if on else 128
            c = (255, 40, 40) if on else (20, 20, 200)
            row.append((a,) + tuple(v * a // 255 for v in c))
        rows.append(row)
    return rows


def bitmaps(out):
    from PIL import Image  # the JPEG comes from the same library the tests' reader uses

    img = Image.new("RGB", (48, 32))
    for y in range(32):
        for x in range(48):
            img.putpixel((x, y), (x * 5, y * 7, 255 - x * 5))
    buf = io.BytesIO()
    img.save(buf, "JPEG", quality=95)
    tags = [define_bits_lossless(1, 16, 16, checker(16, 4)), define_bits_jpeg2(2, buf.getvalue())]
    fills = [
        fill_bitmap(1, matrix(40, 40, 0, 0, 200, 200), repeat=True, smooth=False),
        fill_bitmap(1, matrix(100, 100, 0, 0, 1700, 200), repeat=False, smooth=True),
        fill_bitmap(2, matrix(40, 40, 0, 0, 3100, 200), repeat=False, smooth=False),
        fill_bitmap(1, matrix(28, 28, 28, -28, 800, 1900), repeat=True, smooth=True),
    ]
    p = Path().style(move=(200, 200), fill1=1).poly(box(200, 200, 1500, 1700))
    p.style(move=(1700, 200), fill1=2).poly(box(1700, 200, 2900, 1700))
    p.style(move=(3100, 200), fill1=3).poly(box(3100, 200, 4700, 1500))
    p.style(move=(200, 1900), fill1=4).poly(box(200, 1900, 2400, 3400))
    tags += [define_shape(3, (0, 4800, 0, 3600), fills, [], p), place_object2(1, 3, matrix())]
    # A bitmap placed directly, with a colour transform that halves its alpha.
    tags += [place_object2(2, 2, matrix(2, 2, 0, 0, 2800, 1900), cx=cxform_alpha((256, 256, 256, 128)))]
    write(out, "bitmaps", tags + [show_frame()])


def bitmaps2(out):
    """The other bitmap forms: a JPEG with an alpha plane, colour-mapped and 15-bit
    lossless, and a colour-mapped lossless bitmap with alpha."""
    from PIL import Image

    img = Image.new("RGB", (32, 32))
    for y in range(32):
        for x in range(32):
            a = (x * 8) & 255  # colours stored premultiplied by the alpha plane, as encoders do
            img.putpixel((x, y), tuple(c * a // 255 for c in (255 - x * 8, 100, y * 8)))
    buf = io.BytesIO()
    img.save(buf, "JPEG", quality=95)
    jpeg = buf.getvalue()
    alpha = zlib.compress(bytes((x * 8) & 255 for y in range(32) for x in range(32)))
    tags = [tag(35, struct.pack("<HI", 1, len(jpeg)) + jpeg + alpha)]
    palette = [(255, 0, 0), (0, 0, 255), (255, 255, 0), (0, 0, 0)]
    rows = b"".join(bytes(((x // 4) + (y // 4)) % 4 for x in range(16)) for y in range(16))  # 16 wide: no padding
    tags.append(tag(20, struct.pack("<HBHHB", 2, 3, 16, 16, 3) + zlib.compress(bytes(sum(palette, ())) + rows)))
    pix15 = b""
    for y in range(12):
        for x in range(12):
            v = ((x * 2) << 10) | ((y * 2) << 5) | 31
            pix15 += struct.pack(">H", v)
        pix15 += b"\0\0" * 0  # 12 pixels = 24 bytes: a multiple of four
    tags.append(tag(20, struct.pack("<HBHH", 3, 4, 12, 12) + zlib.compress(pix15)))
    pal_a = [(128, 0, 0, 128), (0, 0, 0, 0), (0, 200, 0, 255), (0, 0, 100, 100)]
    tags.append(tag(36, struct.pack("<HBHHB", 4, 3, 16, 16, 3) + zlib.compress(bytes(sum(pal_a, ())) + rows)))
    fills = [fill_bitmap(i, matrix(60 if i != 3 else 80, 60 if i != 3 else 80, 0, 0, x, 300), repeat=False, smooth=False)
             for i, x in ((1, 200), (2, 2300), (3, 200), (4, 2300))]
    p = Path().style(move=(200, 300), fill1=1).poly(box(200, 300, 2120, 2220))
    p.style(move=(2300, 300), fill1=2).poly(box(2300, 300, 3260, 1260))
    p.style(move=(2300, 1400), fill1=4).poly(box(2300, 1400, 3260, 2360))
    fills[3] = fill_bitmap(4, matrix(60, 60, 0, 0, 2300, 1400), repeat=False, smooth=False)
    p.style(move=(3500, 300), fill1=3).poly(box(3500, 300, 4460, 1260))
    fills[2] = fill_bitmap(3, matrix(80, 80, 0, 0, 3500, 300), repeat=False, smooth=False)
    tags += [define_shape(5, (0, 4800, 0, 3600), fills, [], p), place_object2(1, 5, matrix())]
    write(out, "bitmaps2", tags + [show_frame()], background=(200, 200, 200))


def display(out):
    """Sprites with their own frames, colour transforms, removal, a morph and a mask."""
    tags = [define_shape(1, (0, 800, 0, 800), [fill_solid(rgba(0, 120, 220))], [], rect_path(0, 0, 800, 800))]
    tags += [define_shape(2, (0, 600, 0, 600), [fill_solid(rgba(230, 80, 0))], [], rect_path(0, 0, 600, 600))]
    sprite = []
    for f in range(4):
        sprite += [place_object2(1, 1 if f == 0 else None, matrix(1, 1, 0, 0, f * 300, 0), move=f > 0), show_frame()]
    tags += [define_sprite(3, 4, sprite)]
    start = Path().style(move=(0, 0), fill1=1, line=1).poly(box(0, 0, 1000, 1000))
    end_ = Path().style(move=(500, 0)).line(1000, 500).line(500, 1000).line(0, 500).line(500, 0)
    mfill = b"\x00" + rgba(255, 0, 0) + rgba(0, 0, 255, 128)
    mline = struct.pack("<HH", 40, 200) + rgba(0, 0, 0) + rgba(0, 160, 0)
    tags += [define_morph_shape(4, (0, 1000, 0, 1000), (0, 1000, 0, 1000), [mfill], [mline], start, end_)]
    # The mask: a circle-ish shape over two squares.
    m = Path().style(move=(0, -700), fill1=1).curve(700, -700, 700, 0).curve(700, 700, 0, 700)
    m.curve(-700, 700, -700, 0).curve(-700, -700, 0, -700)
    tags += [define_shape(5, (-700, 700, -700, 700), [fill_solid(rgba(0, 0, 0))], [], m)]
    tags += [
        place_object2(1, 3, matrix(1, 1, 0, 0, 200, 200)),
        place_object2(2, 3, matrix(1, 1, 0, 0, 200, 1200), cx=cxform_alpha((128, 256, 256, 180), (100, 0, 0, 0))),
        place_object2(3, 2, matrix(1, 1, 0, 0, 3800, 200)),
        place_object2(4, 4, matrix(1, 1, 0, 0, 300, 2300), ratio=0),
        place_object2(10, 5, matrix(1, 1, 0, 0, 3300, 2500), clip_depth=12),
        place_object2(11, 1, matrix(1, 1, 0, 0, 2800, 2000)),
        place_object2(12, 2, matrix(1, 1, 0, 0, 3400, 2600)),
        show_frame(),
        place_object2(4, mat=None, ratio=32768, move=True),
        remove_object2(3),
        show_frame(),
        place_object2(4, mat=None, ratio=65535, move=True),
        show_frame(),
    ]
    write(out, "display", tags, frames=3)


def glyph_shapes():
    """Three block glyphs in the 1024 em: 'A' a frame, 'B' a bar, 'C' a diamond."""
    a = Path(1, 0).style(move=(0, -700), fill1=1).poly(box(0, -700, 600, 0))
    a.style(move=(150, -550), fill1=0, fill0=1).poly([(150, -150), (450, -150), (450, -550), (150, -550)])
    b = Path(1, 0).style(move=(0, -700), fill1=1).poly(box(0, -700, 250, 0))
    c = Path(1, 0).style(move=(300, -700), fill1=1).poly([(600, -350), (300, 0), (0, -350), (300, -700)])
    return [a, b, c]


def text(out):
    font = define_font2(1, "Blocks", glyph_shapes(), [65, 66, 67], 800, 200, [700, 350, 700])
    t = define_text(2, (0, 4000, -800, 200), matrix(1, 1, 0, 0, 200, 1000), 1, 800, rgba(20, 20, 160), 0, 0,
                    [(0, 560), (1, 280), (2, 560), (0, 560)])
    e = define_edit_text(3, (0, 3600, 0, 1200), 1, 600, rgba(160, 0, 0), "ABCAB", border=True)
    tags = [font, t, e, place_object2(1, 2, matrix()), place_object2(2, 3, matrix(1, 1, 0, 0, 400, 1800))]
    write(out, "text", tags + [show_frame()])


def edit_text(out):
    """Edit text as Flash lays it out: device text centred with word wrap and margins,
    right-aligned lines, HTML styles, entities, underline and justified lines, text clipped
    by its box (also a turned
    box, in embedded glyphs: the reference player hides turned device text),
    a password, embedded glyphs with indent and leading, a box sized to its text, and a
    turned device-text field, which is not drawn."""
    blue, black = rgba(20, 20, 160), rgba(0, 0, 0)
    fields = [
        (define_edit_text(2, (0, 2200, 0, 1300), 1, 240, blue, "Centred words wrap inside the box", border=True,
                          outlines=False, multiline=True, word_wrap=True, layout=(2, 100, 100, 0, 40)),
         matrix(tx=100, ty=100)),
        (define_edit_text(3, (0, 2000, 0, 1300), 1, 240, black, "one\rtwo\nthree", border=True, outlines=False,
                          multiline=True, layout=(1, 0, 0, 0, 0)), matrix(tx=2500, ty=100)),
        (define_edit_text(4, (0, 2200, 0, 1100), 1, 240, black,
                          '<textformat leading="2"><p align="center"><font size="16" color="#CC0000">Red</font> '
                          'and <u>under</u></p></textformat><p align="justify">a &amp; b &lt;c&gt; spread out wide'
                          "<br>next <unknown>line</unknown></p>", border=True, outlines=False, html=True,
                          multiline=True, word_wrap=True), matrix(tx=100, ty=1600)),
        (define_edit_text(5, (0, 1400, 0, 400), 1, 360, black, "Clipped at the edge", border=True, outlines=False),
         matrix(tx=2500, ty=1600)),
        (define_edit_text(6, (0, 1400, 0, 600), 20, 400, blue, "ABCABCAB", border=True),
         matrix(math.cos(0.26), math.cos(0.26), math.sin(0.26), -math.sin(0.26), 3100, 2400)),
        (define_edit_text(7, (0, 1600, 0, 500), 1, 240, black, "secret", border=True, outlines=False,
                          password=True), matrix(tx=100, ty=2900)),
        (define_edit_text(8, (0, 800, 0, 700), 20, 300, rgba(160, 0, 0), "ABC AB\rCAB", multiline=True,
                          word_wrap=True, layout=(0, 60, 0, 100, 100)), matrix(tx=1900, ty=2850)),
        (define_edit_text(9, (0, 2000, 0, 1500), 1, 240, black, "auto", border=True, outlines=False,
                          auto_size=True), matrix(tx=4000, ty=1550)),
        (define_edit_text(10, (0, 600, 0, 400), 1, 240, black, "hid", border=True, outlines=False),
         matrix(math.cos(0.2), math.cos(0.2), math.sin(0.2), -math.sin(0.2), 2450, 2150)),
    ]
    font = define_font2(20, "Blocks", glyph_shapes(), [65, 66, 67], 800, 200, [700, 350, 700])
    tags = [define_device_font(1, "_sans"), font]
    for depth, (definition, mat) in enumerate(fields, 1):
        tags += [definition, place_object2(depth, depth + 1, mat)]
    write(out, "edittext", tags + [show_frame()])


def scaled_glyphs(factor):
    """The block glyphs with every coordinate multiplied (DefineFont3 works in twentieths)."""
    a = Path(1, 0).style(move=(0, -700 * factor), fill1=1).poly(
        [(600 * factor, -700 * factor), (600 * factor, 0), (0, 0), (0, -700 * factor)])
    c = Path(1, 0).style(move=(300 * factor, -700 * factor), fill1=1).poly(
        [(600 * factor, -350 * factor), (300 * factor, 0), (0, -350 * factor), (300 * factor, -700 * factor)])
    return [a, c]


def fonts(out):
    """DefineFont (1) through DefineText (1, RGB colours) and DefineFont3 through DefineText2."""
    shapes = [g.bytes() for g in scaled_glyphs(1)]
    offsets = [4, 4 + len(shapes[0])]
    font1 = tag(10, struct.pack("<HHH", 1, *offsets) + b"".join(shapes))
    text1 = define_text(2, (0, 4000, -800, 200), matrix(1, 1, 0, 0, 200, 1200), 1, 1000, rgba(0, 100, 0), 0, 0,
                        [(0, 700), (1, 700), (0, 700)])
    text1 = tag(11, text1[2:].replace(rgba(0, 100, 0), bytes([0, 100, 0]))) if len(text1) < 65 else text1
    f3 = define_font2(3, "Blocks3", scaled_glyphs(20), [65, 67], 800 * 20, 200 * 20, [700 * 20, 700 * 20])
    f3 = tag(75, f3[6:] if f3[:2] == struct.pack("<H", (48 << 6) | 0x3F) else f3[2:])
    text3 = define_text(4, (0, 4000, -800, 200), matrix(1, 1, 0, 0, 200, 2800), 3, 1200, rgba(160, 0, 160), 0, 0,
                        [(1, 840), (0, 840), (1, 840)])
    tags = [font1, text1, f3, text3, place_object2(1, 2, matrix()), place_object2(2, 4, matrix())]
    write(out, "fonts", tags + [show_frame()])


def effects(out):
    """A button in its up state, blend modes and filters through PlaceObject3."""
    tags = [define_shape(1, (0, 1200, 0, 1200), [fill_solid(rgba(200, 40, 40))], [], rect_path(0, 0, 1200, 1200))]
    tags += [define_shape(2, (0, 1200, 0, 1200), [fill_solid(rgba(40, 200, 40))], [], rect_path(0, 0, 1200, 1200))]
    tags += [define_button2(3, [(0x01, 1, 1, matrix()), (0x0E, 2, 2, matrix())])]
    tags += [
        place_object2(1, 3, matrix(1, 1, 0, 0, 200, 200)),
        place_object2(2, 1, matrix(1, 1, 0, 0, 1800, 200)),
        place_object3(3, 2, matrix(1, 1, 0, 0, 2400, 800), blend=3),  # multiply
        place_object3(4, 2, matrix(1, 1, 0, 0, 600, 2000), filters=blur_filter(6, 6, 1)),
        place_object3(5, 1, matrix(1, 1, 0, 0, 2600, 2000),
                      filters=drop_shadow_filter(rgba(0, 0, 0), 4, 4, math.pi / 4, 6, 1.0, 1)),
        show_frame(),
    ]
    write(out, "effects", tags)


def root_call(method, args):
    """_root.method(args...), each argument already pushing its one value."""
    return b"".join(reversed(args)) + push(len(args), "_root") + b"\x1c" + push(method) + b"\x52\x17"


def drawing(out):
    """The drawing API on _root, from drawing.calls beside the movies: C clear, S width rgb alpha (width -1: no line), F rgb alpha,
    G l|r a b c d tx ty rgb:alpha:ratio..., M x y, L x y, Q cx cy x y, E."""
    def num(text):
        v = float(text)
        return int(v) if v == int(v) else v

    def array(values):
        return b"".join(push(v) for v in reversed(values)) + push(len(values)) + b"\x42"

    here = os.path.dirname(os.path.abspath(__file__))
    calls = open(os.path.join(here, "..", "tests", "engine", "movies", "drawing.calls")).read()
    code = b""
    for call in calls.replace("\n", ";").split(";"):
        t = call.split()
        if not t:
            continue
        k, a = t[0], t[1:]
        if k == "C":
            code += root_call("clear", [])
        elif k == "S" and float(a[0]) < 0:
            code += root_call("lineStyle", [])
        elif k == "S":
            code += root_call("lineStyle", [push(num(a[0])), push(int(a[1], 16)), push(num(a[2]))])
        elif k == "F":
            code += root_call("beginFill", [push(int(a[0], 16)), push(num(a[1]))])
        elif k == "G":
            stops = [s.split(":") for s in a[7:]]
            m = b"".join(push(n, num(v)) for n, v in zip(("a", "b", "c", "d", "tx", "ty"), a[1:7]))
            code += root_call("beginGradientFill", [
                push("linear" if a[0] == "l" else "radial"),
                array([int(s[0], 16) for s in stops]),
                array([num(s[1]) for s in stops]),
                array([num(s[2]) for s in stops]),
                m + push(6) + b"\x43"])
        elif k in ("M", "L"):
            code += root_call("moveTo" if k == "M" else "lineTo", [push(num(v)) for v in a])
        elif k == "Q":
            code += root_call("curveTo", [push(num(v)) for v in a])
        elif k == "E":
            code += root_call("endFill", [])
    write(out, "drawing", [tag(12, code + b"\x00"), show_frame()], size=(160 * 20, 120 * 20))


def get(name):
    return push(name) + b"\x1c"


def set_member(obj, prop, value):
    """obj.prop = value; obj and value are code pushing one value each."""
    return obj + push(prop) + value + b"\x4f"


def call(obj, method, args):
    """obj.method(args...) with its result dropped."""
    return b"".join(reversed(args)) + push(len(args)) + obj + push(method) + b"\x52\x17"


def new(cls, props):
    """new cls() with props set, left in variable `fmt`."""
    code = push("fmt", 0, cls) + b"\x40\x1d"
    for k, v in props.items():
        code += set_member(get("fmt"), k, push(v))
    return code


def field(name, depth, x, y, w, h, props):
    code = root_call("createTextField", [push(name), push(depth), push(x), push(y), push(w), push(h)])
    for k, v in props:
        code += set_member(get(name), k, push(v))
    return code


def text_script(out):
    """Text fields made and formatted by script: formats over ranges (bold, colour and size,
    underline), HTML with a centred paragraph, a coloured font and bullets, words wrapped and
    clipped at the field's edge over a background, Latin-1 and multi-byte text, a field that
    sizes itself with a left margin."""
    code = field("a", 1, 10, 8, 220, 30, [("border", True), ("text", "Bold red big under")])
    code += new("TextFormat", {"bold": True}) + call(get("a"), "setTextFormat", [push(0), push(4), get("fmt")])
    code += new("TextFormat", {"color": 0xCC0000, "size": 18})
    code += call(get("a"), "setTextFormat", [push(5), push(12), get("fmt")])
    code += new("TextFormat", {"underline": True}) + call(get("a"), "setTextFormat", [push(13), push(18), get("fmt")])
    code += field("b", 2, 10, 45, 150, 70, [("border", True), ("html", True), ("multiline", True),
                                              ("wordWrap", True),
                                              ("htmlText", '<p align="center"><font color="#0000CC">Centred</font> '
                                                           '<b>bold</b></p><li>bullet one</li><li>two</li>')])
    code += field("c", 3, 165, 45, 70, 40, [("border", True), ("background", True), ("backgroundColor", 0xFFFFCC),
                                              ("wordWrap", True), ("text", "Words wrap and clip at the edge")])
    code += field("d", 4, 10, 125, 220, 24, [("text", "Caf\u00e9 Gr\u00f6\u00dfe \u00f1 \u03a9\u03bc\u03ad\u03b3\u03b1 "
                                                        "\u0416\u0436")])
    code += field("e", 5, 10, 150, 40, 20, [("border", True), ("autoSize", "left")])
    code += new("TextFormat", {"leftMargin": 10, "size": 14}) + call(get("e"), "setNewTextFormat", [get("fmt")])
    code += set_member(get("e"), "text", push("sized to fit"))
    write(out, "text_script", [tag(12, code + b"\x00"), show_frame()])


def text_pixels(out):
    """Small fields whose pixels the tests check one by one: an underline under "ab" at
    (10, 10), a line of W clipped by its 40-pixel box at (10, 40), and "e", "\u00e9", "\u0416" in
    fields at (10, 70), (40, 70), (70, 70)."""
    code = field("u", 1, 10, 10, 100, 24, [("text", "ab")])
    code += new("TextFormat", {"underline": True, "size": 16}) + call(get("u"), "setTextFormat", [get("fmt")])
    code += field("c", 2, 10, 40, 40, 24, [("text", "WWWWWWWWWWWW")])
    for i, t in enumerate(["e", "\u00e9", "\u0416"]):
        code += field("g%d" % i, 3 + i, 10 + 30 * i, 70, 28, 24, [("text", t)])
    write(out, "text_pixels", [tag(12, code + b"\x00"), show_frame()], size=(120 * 20, 100 * 20))


def damaged(out):
    """Hostile and damaged definitions beside an intact square: a shape cut short, a
    bitmap claiming 60000 x 60000 pixels, a sprite that places itself at 200 depths, and
    bitmap fills naming no character (65535, as real movies do) and a shape."""
    good = define_shape(1, (0, 2000, 0, 2000), [fill_solid(rgba(0, 160, 0))], [], rect_path(0, 0, 2000, 2000))
    cut = define_shape(2, (0, 2000, 0, 2000), [fill_solid(rgba(200, 0, 0))], [], rect_path(0, 0, 2000, 2000))
    cut = cut[:2] + cut[2:][: len(cut) - 8]  # the body ends inside the shape records
    cut = struct.pack("<H", (32 << 6) | len(cut[2:])) + cut[2:] if len(cut[2:]) < 63 else cut
    huge = tag(36, struct.pack("<HBHH", 3, 5, 60000, 60000) + zlib.compress(b"\0" * 64))
    bomb = define_sprite(4, 1, [place_object2(d, 4, matrix(0.5, 0.5, 0, 0, d, 0)) for d in range(1, 201)] + [show_frame()])
    no_bitmap = define_shape(5, (3000, 4000, 0, 1000), [fill_bitmap(65535, matrix()), fill_bitmap(1, matrix())], [],
                             rect_path(3000, 0, 3500, 1000).style(move=(3500, 0), fill1=2).poly(box(3500, 0, 4000, 1000)))
    tags = [good, cut, huge, bomb, no_bitmap, place_object2(1, 2, matrix()), place_object2(2, 3, matrix()),
            place_object2(3, 4, matrix()), place_object2(4, 1, matrix(1, 1, 0, 0, 400, 400)),
            place_object2(5, 5, matrix()), show_frame()]
    write(out, "damaged", tags)


def button_cxform(out):
    """Three buttons of one red square: the left one given a colour transform to blue, then
    one naming it with no transform at all; the right one a transform cut short (its
    multipliers announced, none there); another for a button never defined."""
    square = define_shape(1, (0, 1000, 0, 1000), [fill_solid(rgba(220, 0, 0))], [], rect_path(0, 0, 1000, 1000))
    states = [(0x0F, 1, 1, matrix())]
    tags = [square, define_button2(2, states), define_button2(3, states), define_button2(4, states),
            define_button_cxform(2, cxform((0, 0, 0), (0, 0, 200))), define_button_cxform(9, cxform((0, 0, 0))),
            tag(23, struct.pack("<H", 2)), tag(23, struct.pack("<HB", 4, 0x7C)),
            place_object2(1, 2, matrix(1, 1, 0, 0, 200, 200)), place_object2(2, 3, matrix(1, 1, 0, 0, 1400, 200)),
            place_object2(3, 4, matrix(1, 1, 0, 0, 2600, 200)), show_frame()]
    write(out, "button_cxform", tags, size=(3800, 1400))


def after_end(out):
    """A movie with no background of its own whose file goes on after the End tag with a
    background colour and a frame: padding, which counts for nothing."""
    tags = [show_frame(), end(), set_background((200, 0, 0)), show_frame(), b"\x01"]
    with open(os.path.join(out, "after_end.swf"), "wb") as f:
        f.write(movie(tags, 2000, 2000, 12, 1, version=8))


def heavy(out):
    """The benchmark's movie: hundreds of gradient shapes with strokes over a large
    bitmap, every one moving every frame."""
    import random

    rnd = random.Random(7)
    size = (1920 * 20 // 2, 1080 * 20 // 2)
    rows = [[(255, (x * 7) & 255, (y * 5) & 255, (x ^ y) & 255) for x in range(1024)] for y in range(768)]
    tags = [define_bits_lossless(1, 1024, 768, rows, alpha=False)]
    p = Path().style(move=(0, 0), fill1=1).poly(box(0, 0, 1024 * 20, 768 * 20))
    tags += [define_shape(2, (0, 20480, 0, 15360), [fill_bitmap(1, matrix(20, 20), repeat=False)], [], p)]
    shapes_ = []
    for i in range(300):
        r = rnd.randint(200, 900)
        stops = [(0, rgba(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256), 220)),
                 (255, rgba(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256), 160))]
        kind = "radial" if i % 2 else "linear"
        g = fill_gradient(kind, matrix(r / 16384, r / 16384), stops)
        q = Path().style(move=(0, -r), fill1=1, line=1).curve(r, -r, r, 0).curve(r, r, 0, r)
        q.curve(-r, r, -r, 0).curve(-r, -r, 0, -r)
        tags += [define_shape(10 + i, (-r - 40, r + 40, -r - 40, r + 40), [g], [line_style(40, rgba(0, 0, 0, 200))], q)]
        shapes_.append((10 + i, rnd.randrange(size[0]), rnd.randrange(size[1]), rnd.uniform(-200, 200),
                        rnd.uniform(-200, 200)))
    frames = 20
    for f in range(frames):
        scale = 1.0 + 0.01 * f
        tags.append(place_object2(1, 2 if f == 0 else None, matrix(scale, scale, 0, 0, -f * 40, -f * 30), move=f > 0))
        for d, (cid, x, y, vx, vy) in enumerate(shapes_):
            a = 0.05 * f
            tags.append(place_object2(2 + d, cid if f == 0 else None,
                                      matrix(math.cos(a), math.cos(a), math.sin(a), -math.sin(a),
                                             int(x + vx * f), int(y + vy * f)), move=f > 0))
        tags.append(show_frame())
    body = [set_background((20, 20, 30))] + tags + [end()]
    with open(os.path.join(out, "heavy.swf"), "wb") as fh:
        fh.write(movie(body, size[0], size[1], 30, frames, version=8, compress=True))


def motion(out):
    """Shapes that move, then turn, then grow, frame by frame (strokes, gradients and a
    curve): each frame must draw as it would alone, whatever outlines earlier frames kept."""
    r = 700
    q = Path().style(move=(0, -r), fill1=1, line=1).curve(r, -r, r, 0).curve(r, r, 0, r)
    q.line(-r, r).line(-r, 0).curve(-r, -r, 0, -r)
    stops = [(0, rgba(230, 40, 40)), (255, rgba(40, 40, 230, 180))]
    tags = [define_shape(1, (-r - 60, r + 60, -r - 60, r + 60),
                         [fill_gradient("radial", matrix(r / 16384, r / 16384), stops)],
                         [line_style(60, rgba(0, 0, 0, 200))], q)]
    # Turned one way and the other: the same scale along x, turned apart.
    steps = [(1, 0, 1200, 1200), (1, 0, 1533, 1417), (1, 0.4, 1533, 1417), (1, -0.4, 1533, 1417),
             (1.6, -0.4, 1533, 1417), (1.6, -0.4, 2400, 2000)]
    for f, (scale, a, x, y) in enumerate(steps):
        c, s = math.cos(a) * scale, math.sin(a) * scale
        tags.append(place_object2(1, 1 if f == 0 else None, matrix(c, c, s, -s, x, y), move=f > 0))
        tags.append(place_object2(2, 1 if f == 0 else None, matrix(0.5, 0.5, 0, 0, 3600 - x // 2, 2400),
                                  move=f > 0))
        tags.append(show_frame())
    write(out, "motion", tags, frames=len(steps))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    if "--heavy" in sys.argv:
        heavy(out)
        return
    only = [a for a in sys.argv[2:] if not a.startswith("--")]
    for make in (shapes, gradients, lines, scaled_lines, bitmaps, bitmaps2, display, text, edit_text, fonts, effects,
                 drawing, damaged, text_script, text_pixels, motion, button_cxform, after_end):
        if not only or make.__name__ in only:
            make(out)


if __name__ == "__main__":
    main()
