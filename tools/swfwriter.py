"""Writes small Flash (SWF) movies: the header, tags and the few records our movies use.

Used at build time for the screen saver's default movie and by tests that need
well-formed or deliberately broken movies."""

import struct
import zlib


class Bits:
    """Big-endian bit writer, as SWF packs rectangles, matrices and shape records."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def u(self, value, nbits):
        for i in range(nbits - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc = 0
                self.n = 0

    def s(self, value, nbits):
        self.u(value & ((1 << nbits) - 1), nbits)

    def bytes(self):
        if self.n:
            self.out.append(self.acc << (8 - self.n))
            self.acc = 0
            self.n = 0
        return bytes(self.out)


def sbits_needed(*values):
    n = 1
    for v in values:
        while not (-(1 << (n - 1)) <= v < (1 << (n - 1))):
            n += 1
    return n


def rect(xmin, xmax, ymin, ymax):
    b = Bits()
    n = sbits_needed(xmin, xmax, ymin, ymax)
    b.u(n, 5)
    for v in (xmin, xmax, ymin, ymax):
        b.s(v, n)
    return b.bytes()


def tag(code, body=b""):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


END, SHOW_FRAME, DEFINE_SHAPE, SET_BACKGROUND_COLOR, PLACE_OBJECT2 = 0, 1, 2, 9, 26


def set_background(rgb):
    return tag(SET_BACKGROUND_COLOR, bytes(rgb))


def define_rect_shape(shape_id, width, height, rgb):
    """A solid rectangle from (0,0) to (width,height) twips, drawn with one fill."""
    body = struct.pack("<H", shape_id) + rect(0, width, 0, height)
    body += bytes([1, 0x00]) + bytes(rgb)  # one solid fill style
    body += bytes([0])  # no line styles
    b = Bits()
    b.u(1, 4)  # fill index bits
    b.u(0, 4)  # line index bits
    # Style change: move to (0,0), select fill 1 as fill style 0.
    b.u(0, 1)
    b.u(0b00011, 5)
    b.u(1, 5)
    b.s(0, 1)
    b.s(0, 1)
    b.u(1, 1)
    for dx, dy in ((width, 0), (0, height), (-width, 0), (0, -height)):
        n = sbits_needed(dx, dy)
        n = max(n, 2)
        b.u(1, 1)  # edge
        b.u(1, 1)  # straight
        b.u(n - 2, 4)
        if dx and dy:
            b.u(1, 1)
            b.s(dx, n)
            b.s(dy, n)
        else:
            b.u(0, 1)
            b.u(1 if dx == 0 else 0, 1)  # vertical?
            b.s(dy if dx == 0 else dx, n)
    b.u(0, 6)  # end of shape
    return tag(DEFINE_SHAPE, body + b.bytes())


def place(depth, x, y, character=None):
    """PlaceObject2 with a translation; without a character it moves what is there."""
    flags = 0x04 | (0x02 if character is not None else 0x01)
    body = struct.pack("<BH", flags, depth)
    if character is not None:
        body += struct.pack("<H", character)
    b = Bits()
    b.u(0, 1)  # no scale
    b.u(0, 1)  # no rotate
    n = sbits_needed(x, y)
    b.u(n, 5)
    b.s(x, n)
    b.s(y, n)
    return tag(PLACE_OBJECT2, body + b.bytes())


def push(*values):
    """ActionPush of strings, booleans, integers and doubles (doubles store their high word
    first)."""
    body = b""
    for v in values:
        if isinstance(v, str):
            body += b"\x00" + v.encode() + b"\x00"
        elif isinstance(v, bool):
            body += b"\x05" + bytes([v])
        elif isinstance(v, int):
            body += b"\x07" + struct.pack("<i", v)
        else:
            d = struct.pack("<d", v)
            body += b"\x06" + d[4:] + d[:4]
    return b"\x96" + struct.pack("<H", len(body)) + body


def show_frame():
    return tag(SHOW_FRAME)


def end():
    return tag(END)


def movie(tags, width_twips, height_twips, frame_rate, frame_count, version=5, compress=False):
    """The whole file: signature, version, length, stage, rate (8.8), frame count, tags."""
    rest = rect(0, width_twips, 0, height_twips)
    rest += struct.pack("<HH", int(round(frame_rate * 256)), frame_count)
    rest += b"".join(tags)
    length = 8 + len(rest)
    if compress:
        return b"CWS" + bytes([version]) + struct.pack("<I", length) + zlib.compress(rest)
    return b"FWS" + bytes([version]) + struct.pack("<I", length) + rest


# --- Drawing records, for the engine's test movies -------------------------------------


def matrix(sx=1.0, sy=1.0, r0=0.0, r1=0.0, tx=0, ty=0):
    """MATRIX: scale and rotate/skew as floats (16.16 fixed), translation in twips."""
    b = Bits()
    fixed = lambda v: int(round(v * 65536))
    if (sx, sy) != (1.0, 1.0):
        b.u(1, 1)
        n = sbits_needed(fixed(sx), fixed(sy))
        b.u(n, 5)
        b.s(fixed(sx), n)
        b.s(fixed(sy), n)
    else:
        b.u(0, 1)
    if (r0, r1) != (0.0, 0.0):
        b.u(1, 1)
        n = sbits_needed(fixed(r0), fixed(r1))
        b.u(n, 5)
        b.s(fixed(r0), n)
        b.s(fixed(r1), n)
    else:
        b.u(0, 1)
    n = sbits_needed(tx, ty) if (tx or ty) else 0
    b.u(n, 5)
    if n:
        b.s(tx, n)
        b.s(ty, n)
    return b.bytes()


def cxform_alpha(mul=(256, 256, 256, 256), add=(0, 0, 0, 0)):
    """CXFORMWITHALPHA: multiply terms in 8.8, add terms in 0..255."""
    b = Bits()
    has_add = any(add)
    has_mul = tuple(mul) != (256, 256, 256, 256)
    b.u(1 if has_add else 0, 1)
    b.u(1 if has_mul else 0, 1)
    vals = (list(mul) if has_mul else []) + (list(add) if has_add else [])
    n = sbits_needed(*vals) if vals else 1
    b.u(n, 4)
    for v in vals:
        b.s(v, n)
    return b.bytes()


def rgba(r, g, b, a=255):
    return bytes([r, g, b, a])


def fill_solid(color):
    return b"\x00" + color


def gradient(stops, spread=0, interp=0, focal=None):
    """stops: [(ratio, rgba bytes)]; spread 0 pad, 1 reflect, 2 repeat."""
    out = bytes([(spread << 6) | (interp << 4) | len(stops)])
    for ratio, color in stops:
        out += bytes([ratio]) + color
    if focal is not None:
        out += struct.pack("<h", int(round(focal * 256)))
    return out


def fill_gradient(kind, mat, stops, spread=0, interp=0, focal=None):
    """kind: 'linear', 'radial' or 'focal'; mat maps the 32768-twip square to the shape."""
    code = {"linear": 0x10, "radial": 0x12, "focal": 0x13}[kind]
    return bytes([code]) + mat + gradient(stops, spread, interp, focal if kind == "focal" else None)


def fill_bitmap(bitmap_id, mat, repeat=True, smooth=True):
    code = 0x40 | (0 if repeat else 1) | (0 if smooth else 2)
    return bytes([code]) + struct.pack("<H", bitmap_id) + mat


def line_style(width, color):
    """LINESTYLE for DefineShape3 (RGBA colour)."""
    return struct.pack("<H", width) + color


def line_style2(width, color=None, start_cap=0, end_cap=0, join=0, miter=3.0, fill=None):
    """LINESTYLE2 (DefineShape4): caps 0 round, 1 none, 2 square; joins 0 round, 1 bevel,
    2 miter; `fill` (a fill style) instead of a colour."""
    a = (start_cap << 6) | (join << 4) | (0x08 if fill is not None else 0)
    out = struct.pack("<HBB", width, a, end_cap & 3)
    if join == 2:
        out += struct.pack("<H", int(round(miter * 256)))
    return out + (fill if fill is not None else color)


def style_array(items):
    n = len(items)
    head = bytes([n]) if n < 255 else b"\xff" + struct.pack("<H", n)
    return head + b"".join(items)


class Path:
    """Shape records: style changes, straight and curved edges in twips (absolute)."""

    def __init__(self, fill_bits=4, line_bits=4):
        self.b = Bits()
        self.fb, self.lb = fill_bits, line_bits
        self.x = self.y = 0

    def style(self, move=None, fill0=None, fill1=None, line=None):
        self.b.u(0, 1)
        self.b.u(0, 1)  # new styles
        self.b.u(line is not None, 1)
        self.b.u(fill1 is not None, 1)
        self.b.u(fill0 is not None, 1)
        self.b.u(move is not None, 1)
        if move is not None:
            n = sbits_needed(*move)
            self.b.u(n, 5)
            self.b.s(move[0], n)
            self.b.s(move[1], n)
            self.x, self.y = move
        if fill0 is not None:
            self.b.u(fill0, self.fb)
        if fill1 is not None:
            self.b.u(fill1, self.fb)
        if line is not None:
            self.b.u(line, self.lb)
        return self

    def line(self, x, y):
        dx, dy = x - self.x, y - self.y
        n = max(2, sbits_needed(dx, dy))
        self.b.u(1, 1)
        self.b.u(1, 1)
        self.b.u(n - 2, 4)
        self.b.u(1, 1)  # general line
        self.b.s(dx, n)
        self.b.s(dy, n)
        self.x, self.y = x, y
        return self

    def curve(self, cx, cy, x, y):
        v = (cx - self.x, cy - self.y, x - cx, y - cy)
        n = max(2, sbits_needed(*v))
        self.b.u(1, 1)
        self.b.u(0, 1)
        self.b.u(n - 2, 4)
        for d in v:
            self.b.s(d, n)
        self.x, self.y = x, y
        return self

    def poly(self, points):
        for p in points:
            self.line(*p)
        return self

    def bytes(self):
        self.b.u(0, 6)
        return bytes([(self.fb << 4) | self.lb]) + self.b.bytes()


def define_shape(shape_id, bounds, fills, lines, path, version=3):
    """DefineShape 1-4 with its first style arrays. `bounds` = (xmin, xmax, ymin, ymax)."""
    code = {1: 2, 2: 22, 3: 32, 4: 83}[version]
    body = struct.pack("<H", shape_id) + rect(*bounds)
    if version == 4:
        body += rect(*bounds) + b"\x00"
    body += style_array(fills) + style_array(lines) + path.bytes()
    return tag(code, body)


def define_bits_lossless(bitmap_id, width, height, argb_rows, alpha=True):
    """DefineBitsLossless(2) format 5 from rows of (a, r, g, b) tuples (premultiplied when
    alpha)."""
    raw = bytearray()
    for row in argb_rows:
        for a, r, g, b in row:
            raw += bytes([a if alpha else 255, r, g, b])
    body = struct.pack("<HBHH", bitmap_id, 5, width, height) + zlib.compress(bytes(raw))
    return tag(36 if alpha else 20, body)


def define_bits_jpeg2(bitmap_id, jpeg):
    return tag(21, struct.pack("<H", bitmap_id) + jpeg)


def place_object2(depth, character=None, mat=None, cx=None, ratio=None, name=None, clip_depth=None,
                  move=False):
    flags = (0x01 if move else 0) | (0x02 if character is not None else 0) | (0x04 if mat is not None else 0)
    flags |= (0x08 if cx is not None else 0) | (0x10 if ratio is not None else 0)
    flags |= (0x20 if name is not None else 0) | (0x40 if clip_depth is not None else 0)
    body = struct.pack("<BH", flags, depth)
    if character is not None:
        body += struct.pack("<H", character)
    if mat is not None:
        body += mat
    if cx is not None:
        body += cx
    if ratio is not None:
        body += struct.pack("<H", ratio)
    if name is not None:
        body += name.encode() + b"\0"
    if clip_depth is not None:
        body += struct.pack("<H", clip_depth)
    return tag(PLACE_OBJECT2, body)


def place_object3(depth, character, mat, blend=None, filters=b""):
    """PlaceObject3 with a blend mode (1-14) and/or a raw FILTERLIST (count included)."""
    flags2 = (0x02 if blend is not None else 0) | (0x01 if filters else 0)
    body = struct.pack("<BBHH", 0x06, flags2, depth, character) + mat
    if filters:
        body += filters
    if blend is not None:
        body += bytes([blend])
    return tag(70, body)


def blur_filter(bx, by, passes=1):
    return b"\x01\x01" + struct.pack("<ii", int(bx * 65536), int(by * 65536)) + bytes([passes << 3])


def drop_shadow_filter(color, bx, by, angle, distance, strength=1.0, passes=1):
    return (b"\x01\x00" + color + struct.pack("<iiii", int(bx * 65536), int(by * 65536), int(angle * 65536),
                                              int(distance * 65536))
            + struct.pack("<h", int(strength * 256)) + bytes([0x20 | passes]))


def remove_object2(depth):
    return tag(28, struct.pack("<H", depth))


def define_sprite(sprite_id, frame_count, tags):
    return tag(39, struct.pack("<HH", sprite_id, frame_count) + b"".join(tags))


def define_morph_shape(shape_id, start_bounds, end_bounds, fills, lines, start_path, end_path):
    """DefineMorphShape: fills are raw MORPHFILLSTYLEs, lines raw MORPHLINESTYLEs."""
    styles = style_array(fills) + style_array(lines)
    start = start_path.bytes()
    body = struct.pack("<H", shape_id) + rect(*start_bounds) + rect(*end_bounds)
    body += struct.pack("<I", len(styles) + len(start)) + styles + start + end_path.bytes()
    return tag(46, body)


def define_font2(font_id, name, glyphs, codes, ascent, descent, advances):
    """DefineFont2 with layout; glyphs are Path objects (fill bits 1, line bits 0) in the
    1024-unit em square."""
    shapes = [g.bytes() for g in glyphs]
    n = len(shapes)
    offsets, pos = [], 2 * n + 2
    for s in shapes:
        offsets.append(pos)
        pos += len(s)
    body = struct.pack("<HBBB", font_id, 0x80, 0, len(name)) + name.encode() + struct.pack("<H", n)
    body += b"".join(struct.pack("<H", o) for o in offsets) + struct.pack("<H", pos) + b"".join(shapes)
    body += bytes(codes) + struct.pack("<HHh", ascent, descent, 0)
    body += b"".join(struct.pack("<h", a) for a in advances)
    body += b"".join(rect(0, 0, 0, 0) for _ in range(n)) + struct.pack("<H", 0)
    return tag(48, body)


def define_text(text_id, bounds, mat, font_id, height, color, x, y, glyphs):
    """DefineText2 with one record: glyphs = [(index, advance twips)]."""
    gb = max(1, max(g for g, _ in glyphs).bit_length())
    ab = sbits_needed(*[a for _, a in glyphs])
    body = struct.pack("<H", text_id) + rect(*bounds) + mat + bytes([gb, ab])
    body += bytes([0x8F]) + struct.pack("<H", font_id) + color + struct.pack("<hhH", x, y, height)
    b = Bits()
    for g, a in glyphs:
        b.u(g, gb)
        b.s(a, ab)
    body += bytes([len(glyphs)]) + b.bytes() + b"\0"
    return tag(33, body)


def define_edit_text(text_id, bounds, font_id, height, color, text, border=False, outlines=True, html=False,
                     multiline=False, word_wrap=False, password=False, layout=None, auto_size=False):
    """layout: (align 0-3, left margin, right margin, indent, leading) in twips."""
    f1 = 0x80 | 0x04 | 0x01 | 0x08  # has text, colour, font; read-only
    f1 |= (0x40 if word_wrap else 0) | (0x20 if multiline else 0) | (0x10 if password else 0)
    f2 = (0x08 if border else 0) | (0x01 if outlines else 0) | (0x02 if html else 0) | (0x20 if layout else 0)
    f2 |= 0x40 if auto_size else 0
    body = struct.pack("<H", text_id) + rect(*bounds) + bytes([f1, f2])
    body += struct.pack("<HH", font_id, height) + color
    if layout:
        body += struct.pack("<BHHHh", *layout)
    body += b"\0" + text.encode() + b"\0"
    return tag(37, body)


def define_device_font(font_id, name):
    """DefineFont2 naming a font without outlines: text in it is drawn in a device font."""
    return tag(48, struct.pack("<HBBB", font_id, 0, 0, len(name)) + name.encode() + struct.pack("<H", 0))


def define_button2(button_id, records):
    """records: [(states, character, depth, matrix bytes)] with an identity cxform."""
    body = struct.pack("<HBH", button_id, 0, 0)
    for states, character, depth, mat in records:
        body += bytes([states]) + struct.pack("<HH", character, depth) + mat + cxform_alpha()
    return tag(34, body + b"\0")
