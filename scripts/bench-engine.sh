#!/usr/bin/env bash
# The engine's drawing speed: for every shared movie and a heavy movie of our own
# (hundreds of moving gradient shapes with strokes over a large bitmap), the median time to
# advance and draw one frame at 1920 x 1080 natively, beside the time to clear and copy
# that surface in the same run, then the heavy movie at 1920 x 1080 and 3840 x 2160 with 1,
# 2 and all drawing threads. "frame ms" draws only frames that changed (what a host pays);
# "drawn ms" draws every frame; both are wall-clock, so the load average printed first says
# how much of the machine other programs took; "cpu ms" is the work of all threads.
# With --wine: the Windows build's drawing speed under Wine instead, the heavy movie at
# 3840 x 2160 (frames long beside the 10 ms steps of Wine's thread clock) with the plain
# code beside the engine optimised as one whole program, as the saver carries it.
# With --against OTHER: the heavy movie only, by this build's flickwell-bench and OTHER (a
# flickwell-bench kept from another commit) taking turns, twice at each size, so that both
# meet the same load; compare their "cpu ms" first.
# Usage: scripts/bench-engine.sh [--wine | --against OTHER]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --against ]; then
  other=$(realpath "${2:?--against takes a flickwell-bench program}")
  cmake --build --preset native --target flickwell-bench >/dev/null
  mkdir -p build-native/bench
  python3 tools/engine_movies.py build-native/bench --heavy
  for size in 1920x1080 3840x2160; do
    for round in 1 2; do
      for program in "$other" build-native/tools/render/flickwell-bench; do
        echo "$program, round $round; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
        "$program" --size "$size" --threads 1,2,0 build-native/bench/heavy.swf
      done
    done
  done
  exit 0
fi
if [ "${1:-}" = --wine ]; then
  source scripts/lib/wine.sh
  wine_pick || exit 1
  build=$PWD/$FLICKWELL_BUILD_DIR
  cmake --build --preset "$FLICKWELL_PRESET" --target flickwell-bench flickwell-bench-whole >/dev/null
  [ -f "$build/wine/template/.flickwell-template" ] ||
    tests/support/wine-prefix.sh "$build/wine/template"
  mkdir -p "$build/bench"
  python3 tools/engine_movies.py "$build/bench" --heavy
  for program in flickwell-bench flickwell-bench-whole; do
    echo "$program.exe:"
    tests/support/wine-run.sh "$build/wine/template" "$build/bench/prefix" \
      "$build/tools/$program.exe" --size 3840x2160 "Z:${build//\//\\}\\bench\\heavy.swf" 2>/dev/null
  done
  exit 0
fi
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
