#!/usr/bin/env bash
# Fuzzes the player natively with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# for a bounded time (default 120 s), starting from the sample movies and the default
# movie. Targets: `reader` (the movie reader and URL handling) or `engine` (load, advance
# and draw: the whole pipeline). Stops after a number of runs (default: no limit) or the
# seconds, whichever comes first. Prints the executions and the coverage reached. Not part
# of CI.
# Usage: scripts/fuzz-player.sh [seconds] [reader|engine] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
target=${2:-reader}
runs=${3:--1}
case "$target" in reader | engine) ;; *)
  echo "usage: scripts/fuzz-player.sh [seconds] [reader|engine]" >&2
  exit 2
  ;;
esac

# The fuzzer's own tools: clang with its runtime libraries, and the native zlib.
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
missing=()
for p in clang libclang-rt-14-dev llvm-14 zlib1g-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

out=build/fuzz
mkdir -p "$out/corpus-$target" "$out/artifacts" "$out/stb"
flags=(-std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)
if [ "$target" = reader ]; then
  clang++ "${flags[@]}" tools/fuzz/fuzz_movie_reader.cpp player/core/swf/movie_reader.cpp player/core/swf/lzma.cpp \
    player/control/movie_url.cpp player/core/timeline/frame_clock.cpp -lz -o "$out/fuzz_movie_reader"
  fuzzer="$out/fuzz_movie_reader"
else
  engine=(player/core/*.cpp player/core/*/*.cpp) # every layer: the engine has no platform code
  # The engine with its header-only library (stb).
  cmake -DSTB_IMAGE_IN=/usr/include/stb/stb_image.h -DSTB_IMAGE_OUT="$out/stb/stb_image_guarded.h" \
    -P cmake/stb_image_guarded.cmake
  clang++ "${flags[@]}" -isystem /usr/include/stb \
    -isystem "$out/stb" tools/fuzz/fuzz_engine.cpp \
    "${engine[@]}" \
    -lz -o "$out/fuzz_engine"
  fuzzer="$out/fuzz_engine"
  # The same target with source coverage and no sanitizers, to measure what the corpus reaches.
  clang++ -std=c++17 -O1 -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping -I. \
    -isystem /usr/include/stb -isystem "$out/stb" tools/fuzz/fuzz_engine.cpp \
    "${engine[@]}" -lz -o "$out/fuzz_engine_cov"
fi

movies=${FLICKWELL_MOVIES_DIR:-../shared/movies}
seeds="$out/seeds"
mkdir -p "$seeds"
# Earlier findings (tests/engine/fuzz) run before any mutation, so a regression stops the run.
cp "$movies"/*.swf tests/engine/movies/*.swf tests/engine/movies/sound/*.swf tests/engine/fuzz/*.swf "$seeds/" 2>/dev/null || true
[ -f build/generated/default.swf ] && cp build/generated/default.swf "$seeds/"
# The hostile battery: movies within every per-item limit that ask for too much in total.
/usr/bin/python3 tools/hostile_movies.py "$seeds"
# Mutating a compressed movie mostly breaks its zlib stream, so each one is seeded
# uncompressed as well.
/usr/bin/python3 - "$seeds" <<'PY'
import glob, sys, zlib
for path in glob.glob(sys.argv[1] + "/*.swf"):
    data = open(path, "rb").read()
    if data[:3] == b"CWS":
        try:
            body = zlib.decompress(data[8:])
        except zlib.error:
            continue
        open(path[:-4] + ".fws", "wb").write(b"FWS" + data[3:8] + body)
PY

# A small quarantine keeps use-after-free detection for recent frees without paging in
# fresh memory for every run, which would otherwise take most of the time.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4}
# Seeds run first and stay out of the corpus unless they add coverage; slow inputs (an
# object bomb draws thousands of clips) are picked less often than fast ones.
nice -n 10 "$fuzzer" "$out/corpus-$target" "$seeds" -dict=tools/fuzz/swf.dict \
  -max_total_time="$seconds" -runs="$runs" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
  -entropic_scale_per_exec_time=1 -artifact_prefix="$out/artifacts/" -print_final_stats=1 2>&1 |
  tee "$out/last-run-$target.log" | grep -E '^#[0-9]+.*(INITED|DONE)|^stat::|ERROR|SUMMARY' || true
status=${PIPESTATUS[0]}
echo "corpus: $(ls "$out/corpus-$target" | wc -l) inputs; log: $out/last-run-$target.log"
grep -E '^#[0-9]+' "$out/last-run-$target.log" | tail -1 | sed 's/^/last: /' || true

# Line coverage of the engine by the corpus the run left behind.
if [ "$target" = engine ] && command -v llvm-profdata-14 >/dev/null; then
  LLVM_PROFILE_FILE="$out/engine.profraw" "$out/fuzz_engine_cov" -runs=0 "$out/corpus-$target" \
    >/dev/null 2>&1 || true
  llvm-profdata-14 merge -sparse "$out/engine.profraw" -o "$out/engine.profdata"
  llvm-cov-14 report "$out/fuzz_engine_cov" -instr-profile="$out/engine.profdata" \
    player/core/engine.cpp player/core/swf player/core/timeline player/core/render |
    awk 'BEGIN {print "file lines missed cover"} NR > 2 && $1 !~ /^-/ {print $1, $8, $9, $10}' |
    column -t
fi
exit "$status"
