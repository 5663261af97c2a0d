#!/usr/bin/env bash
# Fuzzes the player natively with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# for a bounded time (default 120 s), starting from the sample movies and the default
# movie. Targets: `reader` (the movie reader and URL handling) or `engine` (load, advance
# and draw: the whole pipeline). Prints the executions and the coverage reached. Not part
# of CI.
# Usage: scripts/fuzz-player.sh [seconds] [reader|engine]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
target=${2:-reader}
case "$target" in reader | engine) ;; *)
  echo "usage: scripts/fuzz-player.sh [seconds] [reader|engine]" >&2
  exit 2
  ;;
esac

# The fuzzer's own tools: clang with its runtime libraries, and the native zlib.
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
missing=()
for p in clang libclang-rt-14-dev zlib1g-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

out=build/fuzz
mkdir -p "$out/corpus-$target" "$out/artifacts"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)
if [ "$target" = reader ]; then
  clang++ "${flags[@]}" tools/fuzz/fuzz_movie_reader.cpp player/core/swf/movie_reader.cpp \
    player/control/movie_url.cpp player/core/timeline/frame_clock.cpp -lz -o "$out/fuzz_movie_reader"
  fuzzer="$out/fuzz_movie_reader"
else
  # The engine with its header-only libraries (Anti-Grain Geometry, stb). The rasterizer
  # shifts negative cell values left on purpose (two's complement, defined from C++20).
  clang++ "${flags[@]}" -fno-sanitize=shift-base -isystem /usr/include/agg2 -isystem /usr/include/stb tools/fuzz/fuzz_engine.cpp \
    player/core/engine.cpp player/core/script_*.cpp player/core/swf/*.cpp player/core/timeline/*.cpp \
    player/core/render/*.cpp player/core/avm1/*.cpp \
    -lz -o "$out/fuzz_engine"
  fuzzer="$out/fuzz_engine"
fi

movies=${FLICKWELL_MOVIES_DIR:-../shared/movies}
cp -n "$movies"/*.swf "$out/corpus-$target/" 2>/dev/null || true
cp -n tests/engine/movies/*.swf "$out/corpus-$target/" 2>/dev/null || true
[ -f build/generated/default.swf ] && cp -n build/generated/default.swf "$out/corpus-$target/"

# A small quarantine keeps use-after-free detection for recent frees without paging in
# fresh memory for every run, which would otherwise take most of the time.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4}
"$fuzzer" "$out/corpus-$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
  -rss_limit_mb=2048 -artifact_prefix="$out/artifacts/" -print_final_stats=1 2>&1 |
  tee "$out/last-run-$target.log" | grep -E '^#[0-9]+.*(INITED|DONE)|^stat::|ERROR|SUMMARY' || true
status=${PIPESTATUS[0]}
echo "corpus: $(ls "$out/corpus-$target" | wc -l) inputs; log: $out/last-run-$target.log"
grep -E '^#[0-9]+' "$out/last-run-$target.log" | tail -1 | sed 's/^/last: /' || true
exit "$status"
