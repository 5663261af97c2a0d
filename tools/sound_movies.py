#!/usr/bin/python3
"""Writes the engine's sound test movies (also seeds of the engine fuzzer): the Sound object
and stopAllSounds driven by scripts, a main-timeline stream whose frames must follow it,
button sounds. tests/engine/test_sound.cpp holds what they play and print.

Usage: tools/sound_movies.py OUT_DIR
       tools/sound_movies.py --saver OUT.swf [TONE.mp3]   (the Wine sound test's saver movie)"""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from swfwriter import *  # noqa: E402,F403
from script_movies import call_method, code, function  # noqa: E402

RATE = 11025


def tone(freq, seconds, amp=12000):
    return [int(amp * math.sin(2 * math.pi * freq * i / RATE)) for i in range(int(RATE * seconds))]


def do_action(*parts):
    return tag(12, code(*parts) + b"\0")


def trace_member(var, member):
    return code(push(var), "getvar", push(member), "getmember", "trace")


def trace_call(var, method):
    return code(push(0, var), "getvar", push(method), "callmethod", "trace")


def sound_object():
    """A Sound plays an exported beep twice at half volume panned left; its duration,
    volume and pan read back, onSoundComplete says when it is over."""
    beep = tone(440, 0.2)
    frame1 = do_action(
        push("s", 0, "Sound"), "new", "setvar",
        call_method("s", "attachSound", "beep"),
        trace_member("s", "duration"),
        push("s"), "getvar", push("onSoundComplete"), function(push("done"), "trace"), "setmember",
        call_method("s", "setVolume", 50), trace_call("s", "getVolume"),
        call_method("s", "setPan", -40), trace_call("s", "getPan"),
        call_method("s", "start", 0, 2),
        push("n", 0, "Sound"), "new", "setvar",
        call_method("n", "attachSound", "nothing"), call_method("n", "start"),
        call_method("n", "loadSound", "http://example.com/a.mp3", True))
    # The largest character id: the id is 16 bits wide, and all of it names the sound.
    tags = [define_sound(65535, PCM_LITTLE, RATE, len(beep), pcm(beep)), export_assets([(65535, "beep")]), frame1]
    return movie(tags + [show_frame()] * 10 + [end()], 2000, 2000, 10, 10, version=6)


def stop_all():
    """A long tone from frame 1; stopAllSounds (the action) at frame 3."""
    long_tone = tone(440, 2.0)
    tags = [define_sound(1, PCM_LITTLE, RATE, len(long_tone), pcm(long_tone, False), bits16=False), start_sound(1),
            show_frame(),
            show_frame(), tag(12, b"\x09\0"), show_frame()]
    return movie(tags + [show_frame()] * 10 + [end()], 2000, 2000, 10, 13, version=6)


def stream_sync():
    """Frame 1 starts a one-second stream of 440 Hz; the frames run on past it."""
    per_frame = RATE // 10
    stream = tone(440, 1.0)
    tags = [sound_stream_head(PCM_LITTLE, RATE, per_frame)]
    for f in range(10):
        tags += [sound_stream_block(pcm(stream[f * per_frame:(f + 1) * per_frame])), show_frame()]
    return movie(tags + [show_frame()] * 20 + [end()], 2000, 2000, 10, 30)


def button_sounds():
    """A button whose up-to-over transition plays a beep, and a bad record after it."""
    beep = tone(660, 0.1)
    tags = [define_sound(1, PCM_LITTLE, RATE, len(beep), pcm(beep)),
            define_rect_shape(2, 400, 400, (255, 0, 0)),
            define_button2(3, [(0x0F, 2, 1, matrix())]),
            define_button_sound(3, [None, (1, sound_info()), None, None]),
            define_button_sound(4, [None, (1, b"\x3F")]),  # cut short
            place_object2(1, 3), show_frame(), end()]
    return movie(tags, 2000, 2000, 10, 1)


def saver_tone(mp3_path=None):
    """The Wine sound test's saver movie: a 660 Hz tone from the first frame, looping; with
    an MP3 file (a 440 Hz tone), that too, for the system's MP3 codec."""
    t = [int(12000 * math.sin(2 * math.pi * 660 * i / 22050)) for i in range(22050)]
    tags = [set_background((0, 0, 64)), define_sound(1, PCM_LITTLE, 22050, len(t), pcm(t)),
            start_sound(1, sound_info(loops=1000))]
    if mp3_path:
        frames = mp3_frames(open(mp3_path, "rb").read())
        data = b"".join(f for f, _ in frames)
        tags += [define_sound(2, MP3, 44100, sum(n for _, n in frames), data),
                 start_sound(2, sound_info(loops=1000))]
    return movie(tags + [show_frame(), end()], 4000, 3000, 10, 1)


def main():
    if sys.argv[1] == "--saver":
        with open(sys.argv[2], "wb") as f:
            f.write(saver_tone(sys.argv[3] if len(sys.argv) > 3 else None))
        return
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, make in (("sound_object", sound_object), ("stop_all", stop_all), ("stream_sync", stream_sync),
                       ("button_sounds", button_sounds)):
        with open(os.path.join(out, name + ".swf"), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main()
