#!/usr/bin/env bash
# The engine's drawing speed: for every shared movie and a heavy movie of our own
# (hundreds of moving gradient shapes with strokes over a large bitmap), the median time to
# advance and draw one frame at 1920 x 1080 natively, beside the time to clear and copy
# that surface in the same run, then the heavy movie at 1920 x 1080 and 3840 x 2160 with 1,
# 2 and all drawing threads. "frame ms" draws only frames that changed (what a host pays);
# "drawn ms" draws every frame; both are wall-clock, so the load average printed first says
# how much of the machine other programs took; "cpu ms" is the work of all threads.
# Usage: scripts/bench-engine.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target flickwell-bench >/dev/null
mkdir -p build-native/bench
python3 tools/engine_movies.py build-native/bench --heavy
shared=""
for d in ../shared/movies ../../shared/movies; do
  if [ -d "$d" ]; then shared=$d; break; fi
done
echo "cores: $(nproc); load average: $(cut -d' ' -f1-3 /proc/loadavg)"
build-native/tools/render/flickwell-bench ${shared:+"$shared"/*.swf} build-native/bench/heavy.swf
# Flash 8's pixel work: perlinNoise and a whole-stage blur, beside their surfaces' floor.
cmake --build --preset native --target flickwell-bench-flash8 >/dev/null
build-native/tools/render/flickwell-bench-flash8
# The heavy movie by drawing threads, on a 1080p and on a 4K screen.
for size in 1920x1080 3840x2160; do
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  build-native/tools/render/flickwell-bench --size "$size" --threads 1,2,0 build-native/bench/heavy.swf
done
