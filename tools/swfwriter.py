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


def cxform_alpha(mul=(256, 256, 256, 256), add=(0, 0, 0, 0), alpha=True):
    """CXFORMWITHALPHA: multiply terms in 8.8, add terms in 0..255 (the alpha terms left
    out when `alpha` is false)."""
    b = Bits()
    has_add = any(add)
    has_mul = tuple(mul) != (256, 256, 256, 256)
    b.u(1 if has_add else 0, 1)
    b.u(1 if has_mul else 0, 1)
    terms = 4 if alpha else 3
    vals = (list(mul)[:terms] if has_mul else []) + (list(add)[:terms] if has_add else [])
    n = sbits_needed(*vals) if vals else 1
    b.u(n, 4)
    for v in vals:
        b.s(v, n)
    return b.bytes()


def cxform(mul=(256, 256, 256), add=(0, 0, 0)):
    """CXFORM, without alpha terms: multiply terms in 8.8, add terms in 0..255."""
    return cxform_alpha(tuple(mul) + (256,), tuple(add) + (0,), alpha=False)


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


def define_button_cxform(button_id, cx):
    """DefineButtonCxform: `cx` (a CXFORM) for an earlier button's characters."""
    return tag(23, struct.pack("<H", button_id) + cx)


# --- Sound -------------------------------------------------------------------------------

SOUND_RATES = {5512: 0, 11025: 1, 22050: 2, 44100: 3}
PCM_NATIVE, ADPCM, MP3, PCM_LITTLE, NELLY16K, NELLY8K, NELLY = 0, 1, 2, 3, 4, 5, 6


def sound_format(coding, rate, bits16=True, stereo=False):
    """The format byte: coding, rate index (or the index itself for 0..3), size, type."""
    index = SOUND_RATES.get(rate, rate)
    return bytes([(coding << 4) | (index << 2) | (2 if bits16 else 0) | (1 if stereo else 0)])


def define_sound(sound_id, coding, rate, sample_count, data, bits16=True, stereo=False, seek=None):
    """DefineSound; MP3 data is preceded by its seek samples (default 0)."""
    if coding == MP3:
        data = struct.pack("<h", seek or 0) + data
    body = struct.pack("<H", sound_id) + sound_format(coding, rate, bits16, stereo)
    return tag(14, body + struct.pack("<I", sample_count) + data)


def sound_info(stop=False, no_multiple=False, in_point=None, out_point=None, loops=None, envelope=None):
    """SOUNDINFO; envelope: [(position in 44 kHz samples, left 0..32768, right)]."""
    flags = (0x20 if stop else 0) | (0x10 if no_multiple else 0) | (0x08 if envelope else 0)
    flags |= (0x04 if loops is not None else 0) | (0x02 if out_point is not None else 0)
    flags |= 0x01 if in_point is not None else 0
    out = bytes([flags])
    if in_point is not None:
        out += struct.pack("<I", in_point)
    if out_point is not None:
        out += struct.pack("<I", out_point)
    if loops is not None:
        out += struct.pack("<H", loops)
    if envelope:
        out += bytes([len(envelope)]) + b"".join(struct.pack("<IHH", *p) for p in envelope)
    return out


def start_sound(sound_id, info=None):
    return tag(15, struct.pack("<H", sound_id) + (info or sound_info()))


def start_sound2(class_name, info=None):
    return tag(89, class_name.encode() + b"\0" + (info or sound_info()))


def export_assets(pairs):
    """ExportAssets: [(character id, name)]."""
    body = struct.pack("<H", len(pairs))
    for cid, name in pairs:
        body += struct.pack("<H", cid) + name.encode() + b"\0"
    return tag(56, body)


def sound_stream_head(coding, rate, samples_per_frame, bits16=True, stereo=False, latency=0, head2=True):
    fmt = sound_format(coding, rate, bits16, stereo)
    body = fmt + fmt + struct.pack("<H", samples_per_frame)
    if coding == MP3:
        body += struct.pack("<h", latency)
    return tag(45 if head2 else 18, body)


def sound_stream_block(data, mp3_samples=None, seek=0):
    """SoundStreamBlock; an MP3 block starts with its sample count and seek samples."""
    if mp3_samples is not None:
        data = struct.pack("<Hh", mp3_samples, seek) + data
    return tag(19, data)


def define_button_sound(button_id, sounds):
    """sounds: four (sound id, SOUNDINFO bytes) or None, for over-to-up, up-to-over,
    over-to-down, down-to-over."""
    body = struct.pack("<H", button_id)
    for entry in sounds:
        if entry is None:
            body += struct.pack("<H", 0)
        else:
            body += struct.pack("<H", entry[0]) + entry[1]
    return tag(17, body)


def pcm(samples, bits16=True):
    """Signed 16-bit sample values (interleaved) as little-endian PCM, or 8-bit unsigned."""
    if bits16:
        return struct.pack("<%dh" % len(samples), *samples)
    return bytes(max(0, min(255, (s >> 8) + 128)) for s in samples)


_IMA_STEPS = [7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66,
              73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408,
              449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066,
              2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630,
              9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794,
              32767]
_ADPCM_INDEX = {2: [-1, 2], 3: [-1, -1, 2, 4], 4: [-1, -1, -1, -1, 2, 4, 6, 8],
                5: [-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16]}


def adpcm(samples, bits=4, channels=1):
    """SWF ADPCM of interleaved 16-bit samples: packets of 4096 frames, each code the one
    whose decoded value lands nearest the input."""
    w = Bits()
    w.u(bits - 2, 2)
    frames = len(samples) // channels
    sign = 1 << (bits - 1)

    def decode(pred, index, code):
        step = _IMA_STEPS[index]
        diff = 0
        mask = sign >> 1
        while mask:
            if code & mask:
                diff += step
            step >>= 1
            mask >>= 1
        diff += step
        pred = max(-32768, min(32767, pred - diff if code & sign else pred + diff))
        return pred, max(0, min(88, index + _ADPCM_INDEX[bits][code & (sign - 1)]))

    state = [[0, 0] for _ in range(channels)]
    for f in range(frames):
        if f % 4096 == 0:
            for c in range(channels):
                v = samples[f * channels + c]
                state[c] = [v, state[c][1] if f else 0]
                w.s(v, 16)
                w.u(state[c][1], 6)
            continue
        for c in range(channels):
            target = samples[f * channels + c]
            best = min(range(1 << bits), key=lambda code: abs(decode(state[c][0], state[c][1], code)[0] - target))
            state[c] = list(decode(state[c][0], state[c][1], best))
            w.u(best, bits)
    return w.bytes()


def mp3_frames(data):
    """Splits an MP3 stream (layer III) into frames: [(bytes, samples per channel)]."""
    kbps = [[0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
            [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]]
    frames, pos = [], 0
    while pos + 4 <= len(data):
        h = data[pos:pos + 4]
        if h[0] != 0xFF or (h[1] & 0xE0) != 0xE0:
            pos += 1
            continue
        version, bitrate, rate_index = (h[1] >> 3) & 3, h[2] >> 4, (h[2] >> 2) & 3
        if version == 1 or bitrate in (0, 15) or rate_index == 3 or ((h[1] >> 1) & 3) != 1:
            pos += 1
            continue
        mpeg1 = version == 3
        rate = [44100, 48000, 32000][rate_index] >> (0 if mpeg1 else 1 if version == 2 else 2)
        size = (144 if mpeg1 else 72) * kbps[0 if mpeg1 else 1][bitrate] * 1000 // rate + ((h[2] >> 1) & 1)
        frames.append((data[pos:pos + size], 1152 if mpeg1 else 576))
        pos += size
    return frames


DEFINE_VIDEO_STREAM, VIDEO_FRAME = 60, 61


def define_video_stream(stream_id, frames, width, height, codec, deblocking=0, smoothing=False):
    flags = (deblocking & 7) << 1 | int(smoothing)
    return tag(DEFINE_VIDEO_STREAM,
               struct.pack("<HHHHBB", stream_id, frames, width, height, flags, codec))


def video_frame(stream_id, number, data):
    return tag(VIDEO_FRAME, struct.pack("<HH", stream_id, number) + data)
