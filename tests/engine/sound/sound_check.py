#!/usr/bin/python3
"""The movie's sound end to end: movies of our own (tools/swfwriter.py) for every format,
rate and SoundInfo field, and movies and sounds written by ffmpeg (its SWF muxer, its
adpcm_swf and nellymoser encoders, its decoders) as an independent check. Each movie is
played by `flickwell-render --audio`; a tone must sound when the movie says (within a
frame) at its pitch (within 2%), silence must be silent.

usage: sound_check.py FLICKWELL_RENDER WORKDIR"""

import math
import os
import shutil
import struct
import subprocess
import sys
import wave

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "tools"))
import swfwriter as w  # noqa: E402

RENDER, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)
FPS = 10
OUT = 44100
FFMPEG = shutil.which("ffmpeg")
failures = []


def tone(freq, rate, seconds, amp=12000, phase=0.0):
    n = int(rate * seconds)
    return [int(amp * math.sin(2 * math.pi * freq * i / rate + phase)) for i in range(n)]


def interleave(left, right):
    out = []
    for a, b in zip(left, right):
        out += [a, b]
    return out


def save(name, tags, frames=30):
    path = os.path.join(WORK, name + ".swf")
    with open(path, "wb") as f:
        f.write(w.movie(tags + [w.end()], 2000, 2000, FPS, frames))
    return path


def play(path, seconds=3, expect_rc=0):
    out = path[:-4] + ".wav"
    r = subprocess.run([RENDER, "--audio", out, "--seconds", str(seconds), path], capture_output=True, text=True)
    if r.returncode != expect_rc:
        failures.append("%s: exit %d: %s" % (path, r.returncode, r.stderr.strip()))
        return None, r.stderr
    if expect_rc:
        return None, r.stderr
    with wave.open(out) as f:
        data = np.frombuffer(f.readframes(f.getnframes()), dtype="<i2").reshape(-1, 2).astype(float)
    return data, r.stderr


def extent(channel, level=1500):
    """When a channel first and last rises above `level`, in seconds; None when never."""
    loud = np.nonzero(np.abs(channel) > level)[0]
    return (loud[0] / OUT, loud[-1] / OUT) if len(loud) else None


def pitch(channel):
    loud = np.nonzero(np.abs(channel) > 1500)[0]
    seg = channel[loud[0]:loud[-1]]
    spec = np.abs(np.fft.rfft(seg * np.hanning(len(seg)), 8 * len(seg)))
    return np.argmax(spec) * OUT / (8 * len(seg))


def check(name, cond, detail):
    if not cond:
        failures.append("%s: %s" % (name, detail))


def check_tone(name, data, start, end, freq, channel=0, slack=1.0 / FPS):
    if data is None:
        return
    e = extent(data[:, channel])
    if e is None:
        failures.append("%s: silent" % name)
        return
    check(name, abs(e[0] - start) <= slack, "starts at %.3f s, not %.3f" % (e[0], start))
    if end is not None:
        check(name, abs(e[1] - end) <= slack, "ends at %.3f s, not %.3f" % (e[1], end))
    f = pitch(data[:, channel])
    check(name, abs(f - freq) <= 0.02 * freq, "pitch %.1f Hz, not %.1f" % (f, freq))


def event_movie(name, define, start_frame=2, extra=()):
    """`define` at frame 0, StartSound of sound 1 at `start_frame` (0-based)."""
    tags = [w.set_background((255, 255, 255)), define]
    for f in range(start_frame):
        tags.append(w.show_frame())
    tags += [w.start_sound(1)] + list(extra) + [w.show_frame()] * 20
    return save(name, tags)


# --- Every format, rate and channel count, from our own writer ---------------------------
LENGTH = 0.3
for rate in (5512, 11025, 22050, 44100):
    for stereo in (False, True):
        left = tone(440, rate + (0.5 if rate == 5512 else 0), LENGTH)
        right = tone(660, rate + (0.5 if rate == 5512 else 0), LENGTH)
        samples = interleave(left, right) if stereo else left
        n = len(left)
        kinds = [("pcm8", w.PCM_NATIVE, w.pcm(samples, False), False),
                 ("pcm16native", w.PCM_NATIVE, w.pcm(samples), True),
                 ("pcm16", w.PCM_LITTLE, w.pcm(samples), True)]
        for bits in (2, 3, 4, 5):
            kinds.append(("adpcm%d" % bits, w.ADPCM, w.adpcm(samples, bits, 2 if stereo else 1), True))
        for kind, coding, data, bits16 in kinds:
            name = "%s_%d_%s" % (kind, rate, "stereo" if stereo else "mono")
            path = event_movie(name, w.define_sound(1, coding, rate, n, data, bits16, stereo))
            out, _ = play(path, 1)
            check_tone(name, out, 0.2, 0.2 + LENGTH, 440, 0)
            check_tone(name + " right", out, 0.2, 0.2 + LENGTH, 660 if stereo else 440, 1)

# --- SoundInfo ---------------------------------------------------------------------------
RATE = 22050
beep = tone(440, RATE, 0.2)
define = w.define_sound(1, w.PCM_LITTLE, RATE, len(beep), w.pcm(beep))
cases = [
    # name, StartSound info, expected (start, end)
    ("loops", w.sound_info(loops=3), (0.2, 0.8)),
    ("in_out", w.sound_info(in_point=int(0.05 * OUT), out_point=int(0.15 * OUT)), (0.2, 0.3)),
    ("out_only", w.sound_info(out_point=int(0.1 * OUT)), (0.2, 0.3)),
    ("envelope_fade_in", w.sound_info(envelope=[(0, 0, 0), (int(0.1 * OUT), 0, 0), (int(0.1 * OUT) + 1, 32768, 32768)]),
     (0.3, 0.4)),
]
for name, info, (start, end) in cases:
    tags = [define, w.show_frame(), w.show_frame(), w.tag(15, struct.pack("<H", 1) + info)] + [w.show_frame()] * 20
    out, _ = play(save("info_" + name, tags), 2)
    check_tone("info_" + name, out, start, end, 440)

# Envelope per channel: left silenced, right full.
tags = [define, w.show_frame(), w.show_frame(), w.tag(15, struct.pack("<H", 1) + w.sound_info(envelope=[(0, 0, 32768)]))]
out, _ = play(save("info_envelope_right", tags + [w.show_frame()] * 20), 2)
if out is not None:
    check("info_envelope_right", extent(out[:, 0]) is None, "the left channel sounds")
    check_tone("info_envelope_right", out, 0.2, 0.4, 440, 1)

# Stop: started at frame 2, stopped at frame 3 (0.3 s), long before its end.
long_tone = tone(440, RATE, 1.0)
define_long = w.define_sound(1, w.PCM_LITTLE, RATE, len(long_tone), w.pcm(long_tone))
tags = [define_long, w.show_frame(), w.show_frame(), w.start_sound(1), w.show_frame(),
        w.start_sound(1, w.sound_info(stop=True))] + [w.show_frame()] * 20
out, _ = play(save("info_stop", tags), 2)
check_tone("info_stop", out, 0.2, 0.3, 440)

# No-multiple: a second start 0.1 s later (in phase: 44 whole periods) would double it.
for name, info, peak in (("info_nomultiple", w.sound_info(no_multiple=True), 12000),
                         ("info_multiple", w.sound_info(), 24000)):
    tags = [define_long, w.show_frame(), w.show_frame(), w.start_sound(1), w.show_frame(),
            w.start_sound(1, info)] + [w.show_frame()] * 20
    out, _ = play(save(name, tags), 2)
    if out is not None:
        level = np.max(np.abs(out[int(0.35 * OUT):int(0.45 * OUT), 0]))
        check(name, abs(level - peak) < 0.1 * peak, "peak %d, not %d" % (level, peak))

# StartSound2 names the sound by its export name.
tags = [define, w.export_assets([(1, "beep")]), w.show_frame(), w.show_frame(), w.start_sound2("beep")]
out, _ = play(save("startsound2", tags + [w.show_frame()] * 20), 1)
check_tone("startsound2", out, 0.2, 0.4, 440)

# --- Stream sound, main timeline and sprite ----------------------------------------------
per_frame = RATE // FPS
stream = tone(440, RATE, 1.0)
tags = [w.sound_stream_head(w.PCM_LITTLE, RATE, per_frame)] + [w.show_frame()] * 3
for f in range(10):
    tags += [w.sound_stream_block(w.pcm(stream[f * per_frame:(f + 1) * per_frame])), w.show_frame()]
out, _ = play(save("stream_main", tags + [w.show_frame()] * 10), 2)
check_tone("stream_main", out, 0.3, 1.3, 440)

sprite = [w.sound_stream_head(w.PCM_LITTLE, RATE, per_frame)]
for f in range(10):
    sprite += [w.sound_stream_block(w.pcm(stream[f * per_frame:(f + 1) * per_frame])), w.show_frame()]
tags = [w.define_sprite(5, 30, sprite + [w.show_frame()] * 20 + [w.end()]), w.show_frame(),
        w.place_object2(1, 5)] + [w.show_frame()] * 25
out, _ = play(save("stream_sprite", tags), 2)
check_tone("stream_sprite", out, 0.1, 1.1, 440)

# --- Silence and damage ------------------------------------------------------------------
silent = [0] * 5000
out, _ = play(save("silence", [w.define_sound(1, w.PCM_LITTLE, RATE, 5000, w.pcm(silent)), w.start_sound(1)]
                   + [w.show_frame()] * 10), 1)
check("silence", out is not None and np.max(np.abs(out)) == 0, "not silent")
out, _ = play(save("no_sound", [w.show_frame()] * 10), 1)
check("no_sound", out is not None and np.max(np.abs(out)) == 0, "not silent")

# A format nibble out of range: that sound is skipped, the movie's other sound plays.
bad = w.tag(14, struct.pack("<H", 2) + bytes([0x7E]) + struct.pack("<I", 100) + bytes(100))
tags = [define, bad, w.show_frame(), w.show_frame(), w.start_sound(2), w.start_sound(1)] + [w.show_frame()] * 10
out, err = play(save("damaged_format", tags), 1)
check_tone("damaged_format", out, 0.2, 0.4, 440)
check("damaged_format", "damaged sound" in err, "no notice: %r" % err)
# A 16-bit sound whose data stops short (an odd byte, fewer samples than declared).
cut = w.pcm(beep)[:len(beep)] + b"\x01"
tags = [w.define_sound(1, w.PCM_LITTLE, RATE, len(beep), cut), w.show_frame(), w.show_frame(), w.start_sound(1)]
out, _ = play(save("damaged_short", tags + [w.show_frame()] * 10), 1)
check_tone("damaged_short", out, 0.2, 0.3, 440)
# A movie starting 5000 sounds at once plays the bounded number, and plays.
tags = [define, w.show_frame(), w.show_frame()] + [w.start_sound(1)] * 5000 + [w.show_frame()] * 10
out, _ = play(save("many_voices", tags), 1)
if out is not None:
    check("many_voices", np.max(np.abs(out)) == 32767 or np.max(np.abs(out)) > 30000, "not played")


# --- ffmpeg: MP3 (lame) in our movies, its SWF muxer, its ADPCM and Nellymoser ------------
def ffmpeg(*args):
    subprocess.run([FFMPEG, "-hide_banner", "-loglevel", "error", "-y"] + list(args), check=True)


def flv_audio(path):
    d = open(path, "rb").read()
    pos, out = struct.unpack(">I", d[5:9])[0] + 4, []
    while pos + 11 <= len(d):
        size = int.from_bytes(d[pos + 1:pos + 4], "big")
        if d[pos] == 8:
            out.append(d[pos + 12:pos + 11 + size])  # past the audio flags byte
        pos += 15 + size
    return out


def read_wav(path):
    with wave.open(path) as f:
        return np.frombuffer(f.readframes(f.getnframes()), dtype="<i2").reshape(-1, f.getnchannels()).astype(float)


if FFMPEG:
    # MP3 at each MPEG version: 44.1 kHz (1), 22.05 kHz (2), 11.025 kHz (2.5); the rate
    # bits say the nearest Flash rate.
    for rate in (44100, 22050, 11025):
        for channels in (1, 2):
            name = "mp3_%d_%d" % (rate, channels)
            mp3 = os.path.join(WORK, name + ".mp3")
            ffmpeg("-f", "lavfi", "-i", "sine=f=440:r=%d:d=0.5" % rate, "-ac", str(channels), "-c:a", "libmp3lame",
                   "-b:a", "64k", "-write_xing", "0", "-id3v2_version", "0", "-f", "mp3", mp3)
            frames = w.mp3_frames(open(mp3, "rb").read())
            count = sum(s for _, s in frames)
            data = b"".join(f for f, _ in frames)
            path = event_movie(name, w.define_sound(1, w.MP3, rate, count, data, True, channels == 2))
            out, err = play(path, 1)
            # The encoder's and decoder's delay (about 1600 samples) come before the tone.
            check_tone(name, out, 0.2 + 1600.0 / rate, None, 440, slack=1.0 / FPS)

    # A damaged MP3 frame in the middle: skipped to the next header, the rest plays.
    mp3 = os.path.join(WORK, "mp3_44100_1.mp3")
    frames = w.mp3_frames(open(mp3, "rb").read())
    data = b"".join(f for f, _ in frames[:8]) + b"\xff\xfb" + bytes(300) + b"".join(f for f, _ in frames[8:])
    path = event_movie("mp3_damaged", w.define_sound(1, w.MP3, 44100, 0, data))
    out, _ = play(path, 1)
    check_tone("mp3_damaged", out, 0.2 + 1600.0 / 44100, None, 440)

    # ffmpeg's SWF muxer: a stream sound (MP3) with a video track, 10 frames a second.
    path = os.path.join(WORK, "ffmpeg_stream.swf")
    ffmpeg("-f", "lavfi", "-i", "anullsrc=r=22050:cl=mono:d=0.5", "-f", "lavfi", "-i", "sine=f=440:r=22050:d=1.5",
           "-f", "lavfi", "-i", "color=c=red:s=32x32:r=10:d=3", "-filter_complex", "[0][1]concat=n=2:v=0:a=1[a]",
           "-map", "2:v", "-map", "[a]", "-c:v", "flv", "-c:a", "libmp3lame", "-b:a", "64k", "-f", "swf", path)
    out, _ = play(path, 3)
    check_tone("ffmpeg_stream", out, 0.5 + 1600.0 / 22050, 2.0 + 1600.0 / 22050, 440)
    # Against ffmpeg's own decoding of the same movie.
    theirs = os.path.join(WORK, "ffmpeg_stream_theirs.wav")
    ffmpeg("-i", path, "-vn", "-ar", "44100", "-ac", "2", theirs)
    t = read_wav(theirs)[:, 0]
    if out is not None:
        n = min(len(t), int(1.8 * OUT))
        a, b = out[:n, 0], t[:n]
        lag = int(np.argmax(np.correlate(a[int(0.6 * OUT):int(0.7 * OUT)], b[int(0.6 * OUT) - 2000:int(0.7 * OUT) + 2000], "valid"))) - 2000
        check("ffmpeg_stream vs ffmpeg", abs(lag) < OUT / FPS, "%d samples apart" % lag)

    # Without a video track ffmpeg leaves the header's placeholder length (100 MB): the
    # movie plays what its file holds.
    path = os.path.join(WORK, "ffmpeg_stream_audio_only.swf")
    ffmpeg("-f", "lavfi", "-i", "sine=f=440:r=22050:d=1.5", "-c:a", "libmp3lame", "-b:a", "64k", "-f", "swf", path)
    out, _ = play(path, 1)
    check_tone("ffmpeg_stream_audio_only", out, 1600.0 / 22050, None, 440)

    # ffmpeg's ADPCM, one packet per stream block: samples must equal ffmpeg's decoding. A
    # quiet tone keeps to the small steps, which a loud one never reaches.
    for rate, volume in ((11025, 1), (22050, 1), (44100, 1), (44100, 0.1)):
        name = "ffmpeg_adpcm_%d%s" % (rate, "" if volume == 1 else "_quiet")
        flv = os.path.join(WORK, name + ".flv")
        ffmpeg("-f", "lavfi", "-i", "sine=f=440:r=%d:d=1" % rate, "-af", "volume=%g" % volume, "-c:a", "adpcm_swf",
               "-f", "flv", flv)
        theirs = os.path.join(WORK, name + "_theirs.wav")
        ffmpeg("-i", flv, "-f", "wav", theirs)
        packets = flv_audio(flv)
        tags = [w.sound_stream_head(w.ADPCM, rate, 4096)]
        for p in packets:
            tags += [w.sound_stream_block(p), w.show_frame()]
        path = os.path.join(WORK, name + ".swf")
        with open(path, "wb") as f:
            f.write(w.movie(tags + [w.end()], 2000, 2000, rate / 4096.0, len(packets)))
        out, _ = play(path, 1)
        t = read_wav(theirs)[:, 0]
        if out is not None and rate == 44100:
            n = min(len(t), len(out), OUT - 5000)
            diff = np.max(np.abs(out[:n, 0] - t[:n]))
            check(name, diff <= 1, "differs from ffmpeg's decoding by up to %d" % diff)
        elif out is not None:
            check_tone(name, out, 0.0, None, 440, slack=0.05)

    # ffmpeg's Nellymoser: not decoded here; plays as silence of its length, said once.
    flv = os.path.join(WORK, "ffmpeg_nelly.flv")
    ffmpeg("-f", "lavfi", "-i", "sine=f=440:r=22050:d=1", "-c:a", "nellymoser", "-f", "flv", flv)
    packets = flv_audio(flv)
    data = b"".join(packets)
    path = event_movie("ffmpeg_nelly", w.define_sound(1, w.NELLY, 22050, len(data) // 64 * 256, data, True, False))
    out, err = play(path, 1)
    check("ffmpeg_nelly", out is not None and np.max(np.abs(out)) == 0, "not silent")
    check("ffmpeg_nelly", err.count("Nellymoser") == 1, "notice %r" % err)
else:
    print("ffmpeg missing: its movies are not checked")

for f in failures:
    print("FAIL", f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
