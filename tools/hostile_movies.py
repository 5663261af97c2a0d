#!/usr/bin/env python3
"""Writes movies that are valid, or within every limit on a single item, yet ask for too
much in total: the engine must play or refuse each within a time and memory bound.
Usage: hostile_movies.py OUTDIR"""

import io
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from swfwriter import (Bits, Path, define_bits_jpeg2, define_edit_text, define_shape, define_sprite,  # noqa: E402
                       fill_gradient, fill_solid, gradient, line_style, matrix, movie, place_object2, rect,
                       rgba, set_background, show_frame, end, tag)

W, H = 800 * 20, 600 * 20


def save(out, name, tags, frames=1, compress=True, version=8):
    data = movie([set_background((20, 40, 60))] + tags + [end()], W, H, 12, frames, version=version,
                 compress=compress)
    with open(os.path.join(out, name + ".swf"), "wb") as f:
        f.write(data)


def tiny_jpeg_claiming(side):
    """A 16 x 16 JPEG whose frame header claims side x side: the scan runs out at once."""
    from PIL import Image
    buf = io.BytesIO()
    Image.new("RGB", (16, 16), (200, 80, 40)).save(buf, "JPEG", quality=50)
    data = bytearray(buf.getvalue())
    sof = data.index(b"\xff\xc0")
    struct.pack_into(">HH", data, sof + 5, side, side)
    return bytes(data)


def jpegs(out):
    jpeg = tiny_jpeg_claiming(4096)
    tags = [define_bits_jpeg2(i + 1, jpeg) for i in range(40)]
    tags += [place_object2(i + 1, i + 1, matrix(0.04, 0.04, tx=(i % 8) * 2000, ty=(i // 8) * 2000))
             for i in range(40)]
    save(out, "jpegs_40_claiming_4096", tags + [show_frame()])


def edge_records(count):
    """`count` horizontal edges of 16 bits each, to and fro (whole bytes, so repeatable)."""
    b = Bits()
    for dx in (100, -100):
        b.u(1, 1)
        b.u(1, 1)
        b.u(6, 4)  # 8-bit deltas
        b.u(0, 1)  # not general
        b.u(0, 1)  # horizontal
        b.s(dx, 8)
    return b.bytes() * (count // 2)


def big_shape(shape_id, count):
    """A shape with one fill and `count` edges; the style change is padded to a whole byte
    by one edge of the right width."""
    b = Bits()
    b.u(0, 1)
    b.u(0b00011, 5)  # move, fill0
    b.u(15, 5)
    b.s(1000, 15)
    b.s(1000, 15)
    b.u(1, 1)
    n = (-(42 + 10)) % 8  # a vertical edge of 10 + n bits ends the style change's last byte
    b.u(0b11, 2)
    b.u(n, 4)
    b.u(0b01, 2)
    b.s(1, n + 2)
    body = struct.pack("<H", shape_id) + rect(0, 8000, 0, 8000)
    body += bytes([1, 0x00, 200, 100, 50]) + bytes([0])  # one solid fill, no lines
    records = b.bytes() + edge_records(count) + b"\x00"
    return tag(2, body + bytes([0x11]) + records)


def edges(out):
    shapes = [big_shape(i + 1, 262000) for i in range(120)]
    save(out, "edges_64mb", shapes + [place_object2(i + 1, i + 1) for i in range(4)] + [show_frame()])


def font2(font_id, name, glyph_bytes, offsets, codes, wide=True):
    """DefineFont2 with layout from raw glyph record bytes and an offset per glyph."""
    n = len(offsets)
    size = 4 if wide else 2
    table = (n + 1) * size
    fmt = "<I" if wide else "<H"
    body = struct.pack("<HBBB", font_id, 0x80 | (0x0C if wide else 0), 0, len(name)) + name.encode()
    body += struct.pack("<H", n) + b"".join(struct.pack(fmt, table + o) for o in offsets)
    body += struct.pack(fmt, table + len(glyph_bytes)) + glyph_bytes
    body += b"".join(struct.pack("<H", c) for c in codes) if wide else bytes(codes)
    body += struct.pack("<HHh", 900, 200, 0) + b"".join(struct.pack("<h", 600) for _ in range(n))
    body += rect(0, 0, 0, 0) * n + struct.pack("<H", 0)
    return tag(48, body)


def static_text(text_id, font_id, count, height=240):
    """DefineText2 with `count` glyphs of index 0, in records of 255."""
    body = struct.pack("<H", text_id) + rect(0, W, 0, H) + matrix() + bytes([16, 8])
    left = count
    y = 300
    while left:
        k = min(255, left)
        body += bytes([0x8F]) + struct.pack("<H", font_id) + bytes([255, 255, 255, 255])
        body += struct.pack("<hhH", 0, y, height) + bytes([k])
        b = Bits()
        for _ in range(k):
            b.u(0, 16)
            b.s(60, 8)
        body += b.bytes()
        left -= k
        y = (y + 240) % H
    return tag(33, body + b"\0")


def glyph_offsets(out):
    # One glyph of many edges, and 16,384 offsets all naming it.
    p = Path(fill_bits=1, line_bits=0)
    p.style(move=(0, 0), fill1=1)
    for i in range(30000):
        p.line((i % 2) * 500 + 10, -(i % 700))
    glyph = p.bytes()
    tags = [font2(1, "Bomb", glyph, [0] * 16384, [0x41 + (i % 26) for i in range(16384)])]
    tags += [static_text(2, 1, 2000), place_object2(1, 2)]
    save(out, "glyphs_16384_offsets_one_glyph", tags + [show_frame()], version=8)


def shape_1024(out):
    p = Path()
    p.style(move=(0, 0), fill1=1, line=1)
    for i in range(1, 4000):
        p.curve((i * 37) % 16000, (i * 53) % 12000, (i * 91) % 16000, (i * 71) % 12000)
    fills = [fill_gradient("radial", matrix(0.5, 0.5, tx=8000, ty=6000),
                           [(0, rgba(255, 0, 0, 200)), (255, rgba(0, 0, 255, 120))])]
    tags = [define_shape(1, (0, W, 0, H), fills, [line_style(60, rgba(0, 0, 0))], p)]
    tags += [place_object2(i + 1, 1, matrix(tx=(i % 32) * 20, ty=(i // 32) * 20)) for i in range(1024)]
    save(out, "shape_placed_1024", tags + [show_frame()] * 3, frames=3)


def masks(out):
    # A sprite holding 16 masks, each over the next level; 64 levels.
    square = define_shape(1, (0, W, 0, H), [fill_solid(rgba(250, 250, 0))], [],
                          Path().style(move=(0, 0), fill1=1).line(W, 0).line(W, H).line(0, H).line(0, 0))
    tags = [square]
    inner = 1
    for level in range(64):
        sid = 100 + level
        body = []
        for k in range(16):
            body.append(place_object2(1 + k * 2, 1, matrix(0.99, 0.99, tx=k * 10, ty=k * 10), clip_depth=2 + k * 2))
            body.append(place_object2(2 + k * 2, inner))
        tags.append(define_sprite(sid, 1, body + [show_frame()]))
        inner = sid
    save(out, "masks_16_on_64_levels", tags + [place_object2(1, inner), show_frame()])


def font_65535(out):
    p = Path(fill_bits=1, line_bits=0)
    p.style(move=(0, 0), fill1=1).line(500, 0).line(500, -700).line(0, -700).line(0, 0)
    glyph = p.bytes()
    n = 65535
    tags = [font2(1, "Huge", glyph, [0] * n, [(i * 7) % 65536 for i in range(n)])]
    text = "".join(chr(0x4E00 + (i * 13) % 20000) for i in range(3000))
    tags += [define_edit_text(2, (0, W, 0, H), 1, 240, rgba(255, 255, 255), text, multiline=True,
                              word_wrap=True), place_object2(1, 2)]
    save(out, "font_65535_glyphs", tags + [show_frame()])


def font_names(out):
    tags = []
    for i in range(256):
        name = ("Font%03d" % i) + "x" * 240
        tags.append(tag(48, struct.pack("<HBBB", i + 1, 0, 0, len(name)) + name.encode() + struct.pack("<H", 0)))
    html = "".join('<font face="Font%03d%s">ab</font>' % (i % 256, "x" * 240) for i in range(1024))
    tags += [define_edit_text(1000, (0, W, 0, H), 1, 240, rgba(255, 255, 255), html, html=True, multiline=True,
                              word_wrap=True, outlines=False), place_object2(1, 1000)]
    save(out, "font_names_256", tags + [show_frame()])


def gotos(out):
    frames = 30000
    shape = define_shape(1, (0, 2000, 0, 2000), [fill_solid(rgba(0, 200, 0))], [],
                         Path().style(move=(0, 0), fill1=1).line(2000, 0).line(2000, 2000).line(0, 0))
    actions = b""
    for i in range(128):
        actions += b"\x81\x02\x00" + struct.pack("<H", frames - 1) + b"\x81\x02\x00" + struct.pack("<H", 1)
    tags = [shape, place_object2(1, 1), tag(12, actions + b"\x06\x00"), show_frame()]
    for f in range(1, frames):
        tags += [place_object2(1, mat=matrix(tx=(f % 300) * 20), move=True), show_frame()]
    save(out, "gotos_256_across_30000_frames", tags, frames=frames)


def recursion(out):
    # A sprite that places itself twice: 2^64 clips unless the engine counts them.
    body = [place_object2(1, 1, matrix(0.5, 0.5)), place_object2(2, 1, matrix(0.5, 0.5, tx=4000)), show_frame()]
    save(out, "sprite_placing_itself_twice", [define_sprite(1, 1, body), place_object2(1, 1), show_frame()])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for make in (jpegs, edges, glyph_offsets, shape_1024, masks, font_65535, font_names, gotos, recursion):
        make(out)


if __name__ == "__main__":
    main()
