#!/usr/bin/env python3
"""Writes the library movie Symbols.hx binds its class to (haxe -swf-lib): sprite 4, bound
to class Ball, holds on its one frame sprite 3 as "inner" at (0, 0) and a blue 40 px square
at (50, 0); sprite 3 shows the blue square on frame 1 and a red one on frame 2. Button 5,
bound to class Knob, is the red square when up, both squares side by side when over, and
the blue one pressed and hit.

Usage: symbol_library.py OUT.swf
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from swfwriter import (define_button2, define_rect_shape, define_sprite, end, export_assets,  # noqa: E402
                       matrix, movie, place, place_object2, show_frame, tag)

FILE_ATTRIBUTES, REMOVE_OBJECT2, SYMBOL_CLASS = 69, 28, 76


def symbol_class(pairs):
    body = struct.pack("<H", len(pairs))
    for cid, name in pairs:
        body += struct.pack("<H", cid) + name.encode() + b"\0"
    return tag(SYMBOL_CLASS, body)


def main():
    light = [place_object2(1, 1), show_frame(), tag(REMOVE_OBJECT2, struct.pack("<H", 1)),
             place_object2(1, 2), show_frame(), end()]
    ball = [place_object2(1, 3, name="inner"), place(2, 1000, 0, 1), show_frame(), end()]
    tags = [tag(FILE_ATTRIBUTES, struct.pack("<I", 0x08)),
            define_rect_shape(1, 800, 800, (0, 0, 255)),
            define_rect_shape(2, 800, 800, (255, 0, 0)),
            define_sprite(3, 2, light),
            define_sprite(4, 1, ball),
            define_button2(5, [(1, 2, 1, matrix()), (2, 2, 1, matrix()), (2, 1, 2, matrix(tx=1000)),
                               (12, 1, 3, matrix())]),
            export_assets([(4, "Ball"), (5, "Knob")]),
            symbol_class([(4, "Ball"), (5, "Knob")]),
            show_frame(),
            end()]
    with open(sys.argv[1], "wb") as f:
        f.write(movie(tags, 8000, 6000, 30, 1, version=10))


if __name__ == "__main__":
    main()
