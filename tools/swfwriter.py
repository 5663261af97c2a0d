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
