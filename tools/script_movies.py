#!/usr/bin/python3
"""Writes the engine's scripted test movies: action blocks assembled from a few stack
operations, placed as DoAction, DoInitAction and ExportAssets tags. Reference pictures come
from the reference player (../shared/tools/ruffle-ref/render.sh) as NAME.ruffle.png; what a
movie shows only as output is held in tests/engine/test_engine_scripts.cpp.

Usage: tools/script_movies.py OUT_DIR"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from swfwriter import *  # noqa: E402,F403
from engine_movies import rect_path  # noqa: E402

OPS = {"stop": 0x07, "play": 0x06, "add": 0x47, "sub": 0x0B, "mul": 0x0C, "getvar": 0x1C,
       "setvar": 0x1D, "getmember": 0x4E, "setmember": 0x4F, "callmethod": 0x52, "callfunc": 0x3D,
       "trace": 0x26, "pop": 0x17, "new": 0x40, "return": 0x3E}


def op(name):
    return bytes([OPS[name]])


def code(*parts):
    return b"".join(p if isinstance(p, bytes) else op(p) for p in parts)


def function(*body):
    """An anonymous DefineFunction without parameters, left on the stack."""
    inner = code(*body)
    head = b"\0" + struct.pack("<H", 0) + struct.pack("<H", len(inner))
    return bytes([0x9B]) + struct.pack("<H", len(head)) + head + inner


def goto_label(label):
    body = label.encode() + b"\0"
    return bytes([0x8C]) + struct.pack("<H", len(body)) + body


def call_method(target, method, *args):
    """target.method(args) with the result dropped; target is a variable path."""
    return code(push(*reversed(args)), push(len(args), target), "getvar", push(method), "callmethod", "pop")


def set_prop(target, prop, value):
    return code(push(target), "getvar", push(prop, value), "setmember")


def do_action(*parts):
    return tag(12, code(*parts) + b"\0")


def do_init_action(sprite_id, *parts):
    return tag(59, struct.pack("<H", sprite_id) + code(*parts) + b"\0")


def export_assets(names):
    body = struct.pack("<H", len(names))
    for cid, name in names:
        body += struct.pack("<H", cid) + name.encode() + b"\0"
    return tag(56, body)


def frame_label(label):
    return tag(43, label.encode() + b"\0")


def write(out, name, tags, frames, version=6):
    body = [set_background((255, 255, 255))] + tags + [end()]
    with open(os.path.join(out, name + ".swf"), "wb") as f:
        f.write(movie(body, 240 * 20, 180 * 20, 12, frames, version=version))


def script_clips(out):
    """attachMovie, duplicateMovieClip, removeMovieClip, swapDepths, Color, _visible, _alpha,
    scale kept through _rotation, onEnterFrame moving a clip, stop() holding frame 1."""
    red = rgba(220, 30, 30)
    tags = [define_shape(1, (-400, 400, -400, 400), [fill_solid(red)], [], rect_path(-400, -400, 400, 400)),
            define_sprite(2, 1, [place_object2(1, 1, matrix()), show_frame()]),
            export_assets([(2, "box")])]
    def color(var, target, rgb):  # var = new Color(target); var.setRGB(rgb)
        return code(push(var), push(target), "getvar", push(1, "Color"), "new", "setvar",
                    call_method(var, "setRGB", rgb))

    script = [call_method("_root", "attachMovie", "box", "b%d" % i, i) for i in range(1, 8)]
    script += [set_prop("b1", "_x", 40), set_prop("b1", "_y", 40),
               set_prop("b2", "_x", 100), set_prop("b2", "_y", 40), set_prop("b2", "_rotation", 30),
               set_prop("b2", "_xscale", 200), set_prop("b2", "_rotation", 45),
               set_prop("b3", "_x", 160), set_prop("b3", "_y", 40), set_prop("b3", "_alpha", 40),
               set_prop("b4", "_x", 40), set_prop("b4", "_y", 120), set_prop("b4", "_visible", False),
               call_method("b1", "duplicateMovieClip", "b8", 8), set_prop("b8", "_x", 100),
               set_prop("b8", "_y", 130), color("c", "b8", 0x2040C0),
               set_prop("b5", "_x", 200), set_prop("b5", "_y", 130), call_method("b5", "removeMovieClip"),
               # b6 (half width, red) goes above the green b7 at the same place
               set_prop("b6", "_x", 170), set_prop("b6", "_y", 110), set_prop("b6", "_xscale", 50),
               set_prop("b7", "_x", 170), set_prop("b7", "_y", 110), color("k", "b7", 0x20A040),
               push("b7"), "getvar", push(1, "b6"), "getvar", push("swapDepths"), "callmethod", "pop",
               push("b3"), "getvar", push("onEnterFrame"),
               function(push("this"), "getvar", push("_y"), push("this"), "getvar", push("_y"), "getmember",
                        push(10), "add", "setmember"), "setmember",
               "stop"]
    tags += [do_action(*script), show_frame(), do_action(set_prop("b1", "_x", 200)), show_frame()]
    write(out, "script_clips", tags, 2)


def place_with_clip_actions(depth, character, name, handlers):
    """PlaceObject2 with onClipEvent handlers: (event bits, action parts) pairs (SWF 6+)."""
    records = b""
    every = 0
    for events, parts in handlers:
        body = code(*parts) + b"\0"
        records += struct.pack("<II", events, len(body)) + body
        every |= events
    actions = struct.pack("<HI", 0, every) + records + struct.pack("<I", 0)
    body = struct.pack("<BHH", 0x80 | 0x20 | 0x04 | 0x02, depth, character) + matrix()
    return tag(26, body + name.encode() + b"\0" + actions)


LOAD, ENTER_FRAME = 1, 2


def script_order(out):
    """Frame actions, init actions, clip frames, onClipEvent and onEnterFrame, stop, goto
    and labels: what runs when, as trace lines."""
    sprite = [do_action(push("c1"), "trace"), show_frame(),
              do_action(push("c2"), "trace", "stop"), show_frame()]
    tags = [define_shape(1, (0, 400, 0, 400), [fill_solid(rgba(0, 0, 0))], [], rect_path(0, 0, 400, 400)),
            define_sprite(2, 2, [place_object2(1, 1, matrix())] + sprite),
            do_init_action(2, push("init"), "trace"),
            define_sprite(3, 1, [place_object2(1, 1, matrix()), show_frame()]),
            place_object2(1, 2, matrix(), name="c"),
            place_with_clip_actions(2, 3, "e", [(LOAD, [push("load"), "trace"]),
                                                (ENTER_FRAME, [push("ef"), "trace"])]),
            # a clip inside a button's state gets enterFrame like any other
            define_sprite(4, 1, [do_action(push("this"), "getvar", push("onEnterFrame"),
                                           function(push("b"), "trace"), "setmember"),
                                 show_frame()]),
            define_button2(5, [(0x0f, 4, 1, matrix())]),
            place_object2(3, 5, matrix()),
            do_action(push("f1"), "trace",
                      push("c"), "getvar", push("onEnterFrame"), function(push("enter"), "trace"), "setmember"),
            show_frame(),
            do_action(push("f2"), "trace"), show_frame(),
            do_action(push("f3"), "trace", goto_label("last")), show_frame(),
            frame_label("last"),
            do_action(push("f4"), "trace", "stop",
                      push("c"), "getvar", push("onEnterFrame"), push(0), "setmember"), show_frame(),
            do_action(push("f5"), "trace"), show_frame()]
    write(out, "script_order", tags, 5)


def goto_frame(index):
    return bytes([0x81]) + struct.pack("<HH", 2, index)


def script_events(out):
    """Unload of removed objects (by script and by the timeline), a goto back rebuilding the
    list and running the target frame again, script-made objects surviving it."""
    def on_unload(target, text):
        return code(push(target), "getvar", push("onUnload"), function(push(text), "trace"), "setmember")

    tags = [define_shape(1, (0, 400, 0, 400), [fill_solid(rgba(0, 0, 0))], [], rect_path(0, 0, 400, 400)),
            define_sprite(2, 1, [place_object2(1, 1, matrix()), do_action(push("t"), "trace"), show_frame()]),
            export_assets([(2, "box")]),
            place_object2(1, 2, matrix(), name="t"),
            do_action(push("f1"), "trace", on_unload("t", "unload t"),
                      call_method("_root", "attachMovie", "box", "a", 1), on_unload("a", "unload a"),
                      call_method("a", "removeMovieClip"), push("after"), "trace",
                      push("d"), "getvar", push("_x"), "getmember", "trace",
                      call_method("_root", "attachMovie", "box", "d", 2), set_prop("d", "_x", 7)),
            show_frame(),
            remove_object2(1), do_action(push("f2"), "trace"), show_frame(),
            do_action(push("f3"), "trace", goto_frame(0), "stop"), show_frame()]
    write(out, "script_events", tags, 3)


def script_mask(out):
    """setMask: a large square shown only where a small rotated one (itself unseen) lies."""
    tags = [define_shape(1, (-400, 400, -400, 400), [fill_solid(rgba(220, 30, 30))], [],
                         rect_path(-400, -400, 400, 400)),
            define_sprite(2, 1, [place_object2(1, 1, matrix()), show_frame()]),
            export_assets([(2, "box")]),
            do_action(call_method("_root", "attachMovie", "box", "m", 1),
                      call_method("_root", "attachMovie", "box", "k", 2),
                      set_prop("m", "_x", 120), set_prop("m", "_y", 90), set_prop("m", "_xscale", 300),
                      set_prop("m", "_yscale", 200),
                      set_prop("k", "_x", 140), set_prop("k", "_y", 80), set_prop("k", "_rotation", 45),
                      set_prop("k", "_xscale", 150),
                      push("k"), "getvar", push(1, "m"), "getvar", push("setMask"), "callmethod", "pop"),
            show_frame()]
    write(out, "script_mask", tags, 1)


def script_depths(out):
    """Script depths against the timeline's: what a script may remove, swapDepths into the
    script range, getNextHighestDepth, getInstanceAtDepth."""
    def depth_call(target, method, *args):
        return code(push(*reversed(args)), push(len(args), target), "getvar", push(method), "callmethod")

    tags = [define_shape(1, (0, 400, 0, 400), [fill_solid(rgba(0, 0, 0))], [], rect_path(0, 0, 400, 400)),
            define_sprite(2, 1, [place_object2(1, 1, matrix()), show_frame()]),
            place_object2(1, 2, matrix(), name="t"),
            do_action(depth_call("_root", "getNextHighestDepth"), "trace",
                      call_method("t", "removeMovieClip"), push("t"), "getvar", push("_name"), "getmember", "trace",
                      call_method("t", "swapDepths", 5), depth_call("t", "getDepth"), "trace",
                      depth_call("_root", "getNextHighestDepth"), "trace",
                      call_method("t", "removeMovieClip"), depth_call("_root", "getInstanceAtDepth", 5), "trace"),
            show_frame()]
    write(out, "script_depths", tags, 1)


def script_text(out):
    """An edit text bound to a variable: the field shows what scripts set, and setting its
    text sets the variable."""
    field = struct.pack("<H", 1) + rect(0, 2000, 0, 400) + bytes([0x80 | 0x08, 0]) + b"msg\0init\0"
    tags = [tag(37, field), place_object2(1, 1, matrix(), name="tf"),
            do_action(push("msg", "hello"), "setvar"), show_frame(),
            do_action(push("tf"), "getvar", push("text"), "getmember", "trace",
                      push("tf"), "getvar", push("text", "set"), "setmember", push("msg"), "getvar", "trace"),
            show_frame()]
    write(out, "script_text", tags, 2)


def script_fields(out):
    """Text fields' own properties: an HTML field's text read without markup and set
    literally, htmlText setting markup, border and colours read back; a script drawing in
    a clip's size and shape hit test; a field's position at its box's corner."""
    def result(target, method, *args):
        return code(push(*reversed(args)), push(len(args), target), "getvar", push(method), "callmethod")

    def trace_prop(target, prop):
        return code(push(target), "getvar", push(prop), "getmember", "trace")

    html = struct.pack("<H", 1) + rect(100, 2000, 60, 400) + bytes([0x80, 0x02]) + b"\0<b>a</b>&amp;b\0"
    tags = [tag(37, html), place_object2(1, 1, matrix(), name="h"),
            do_action(trace_prop("h", "text"), set_prop("h", "text", "<i>&"), trace_prop("h", "text"),
                      set_prop("h", "htmlText", "<b>x</b>"), trace_prop("h", "text"),
                      set_prop("h", "border", 1), trace_prop("h", "border"),
                      set_prop("h", "borderColor", "255"), trace_prop("h", "borderColor"),
                      set_prop("h", "textColor", 0xFF00), trace_prop("h", "textColor"),
                      call_method("_root", "createEmptyMovieClip", "d", 3),
                      call_method("d", "beginFill", 0xFF0000), call_method("d", "moveTo", 10, 10),
                      call_method("d", "lineTo", 50, 10), call_method("d", "lineTo", 10, 40),
                      call_method("d", "endFill"), trace_prop("d", "_width"), trace_prop("d", "_height"),
                      result("d", "hitTest", 40, 30, True), "trace", result("d", "hitTest", 40, 30, False), "trace",
                      result("d", "hitTest", 15, 15, True), "trace",
                      # a field stands where its box starts
                      trace_prop("h", "_x"), trace_prop("h", "_y"), set_prop("h", "_x", 7),
                      trace_prop("h", "_x")),
            show_frame()]
    write(out, "script_fields", tags, 1)


if __name__ == "__main__":
    out = sys.argv[1]
    script_clips(out)
    script_order(out)
    script_events(out)
    script_text(out)
    script_mask(out)
    script_depths(out)
    script_fields(out)
