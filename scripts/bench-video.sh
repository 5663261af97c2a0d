#!/usr/bin/env bash
# The video decoders' speed natively on one core: 640 x 480 clips at 30 frames a second
# that ffmpeg writes (Sorenson H.263, Screen Video) and our test encoder writes (VP6, kept
# once made: it takes a few minutes), and any clip given on the command line; each decoded
# whole and converted to pixels, printed beside the time to copy the same pictures and as a
# multiple of real time.
# Usage: scripts/bench-video.sh [MORE.swf ...]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target video_bench >/dev/null
out=build-native/bench
mkdir -p "$out"
src="-f lavfi -i testsrc2=size=640x480:rate=30 -frames:v 150"
ffmpeg -v error -y $src -c:v flv1 -b:v 1500k -g 60 -f swf "$out/video_h263_640x480.swf"
ffmpeg -v error -y $src -c:v flashsv -g 60 -f swf "$out/video_screen_640x480.swf"
vp6="$out/video_vp6_640x480"
[ -f "$vp6.swf" ] || python3 tools/vp6writer.py "$vp6" 640 480 60 gop=30 rate=30 detail=3 q=34 \
  modes=0,2,2,2,3,7,1 motion=12,8 jitter=0
taskset -c 0 build-native/tests/video/video_bench "$out/video_h263_640x480.swf" \
  "$out/video_screen_640x480.swf" "$vp6.swf" "$@"
