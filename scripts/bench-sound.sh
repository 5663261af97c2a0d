#!/usr/bin/env bash
# The mixer's processor share: a movie playing 8 MP3 sounds at once beside the same movie
# playing one (44.1 kHz stereo, 128 kbit/s, each 20 s, looped), measured in one run.
# Needs ffmpeg (the MP3 encoder) and the native build.
# Usage: scripts/bench-sound.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake --build --preset native --target flickwell-sound-bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -f lavfi -i "sine=f=440:r=44100:d=20" -ac 2 -c:a libmp3lame -b:a 128k \
  -write_xing 0 -id3v2_version 0 -f mp3 "$work/tone.mp3"
/usr/bin/python3 - "$work" <<'PY'
import os, sys
sys.path.insert(0, "tools")
import swfwriter as w
work = sys.argv[1]
frames = w.mp3_frames(open(os.path.join(work, "tone.mp3"), "rb").read())
count = sum(s for _, s in frames)
data = b"".join(f for f, _ in frames)
for voices in (1, 8):
    tags = [w.define_sound(i + 1, w.MP3, 44100, count, data, True, True) for i in range(voices)]
    tags += [w.start_sound(i + 1, w.sound_info(loops=100)) for i in range(voices)]
    with open(os.path.join(work, "voices%d.swf" % voices), "wb") as f:
        f.write(w.movie(tags + [w.show_frame(), w.end()], 2000, 2000, 30, 1))
PY
build-native/tools/render/flickwell-sound-bench "$seconds" "$work/voices1.swf" "$work/voices8.swf"
