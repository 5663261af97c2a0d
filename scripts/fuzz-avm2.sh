#!/usr/bin/env bash
# Fuzzes the ActionScript 3 reader and interpreter natively with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, seeded with the ABC blocks of the movies in the shared
# folder and ours. Stops after a number of runs (default 10^7) or seconds, whichever comes
# first. Not part of CI.
# Usage: scripts/fuzz-avm2.sh [runs] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
seconds=${2:-7200}
command -v clang++ >/dev/null || sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev

out=build/fuzz-avm2
mkdir -p "$out/corpus" "$out/artifacts" "$out/seeds"
# The interpreter and the layers below it that its library reaches (geometry, drawing, text,
# bitmaps, filters).
avm2=(player/core/avm2/*.cpp player/core/swf/*.cpp player/core/timeline/*.cpp
      player/core/render/*.cpp player/core/video/*.cpp)
mkdir -p "$out/stb"
cmake -DSTB_IMAGE_IN=/usr/include/stb/stb_image.h -DSTB_IMAGE_OUT="$out/stb/stb_image_guarded.h" \
  -P cmake/stb_image_guarded.cmake
clang++ -std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -fsanitize-coverage-ignorelist=tools/fuzz/avm2_ignore.txt -I. -isystem /usr/include/stb -isystem "$out/stb" \
  tools/fuzz/fuzz_avm2.cpp "${avm2[@]}" -lz -lpthread -o "$out/fuzz_avm2"
/usr/bin/python3 tools/fuzz/abc_seeds.py "$out/seeds" "${FLICKWELL_MOVIES_DIR:-../shared/movies}/as3-traces" \
  tests/engine/movies

# A sanitized build's frames are far larger than a plain one's (Interp::Run: about 40 KB of
# stack a call level against 1.5 KB), so the call depth that a plain build reaches in a few
# hundred KB needs tens of MB here: without room, the fuzzer reports its own stack.
ulimit -s 131072
# The target keeps its Vm across inputs, so every input looks like a leak: leak checks are off
# (they took a third of each run) and sanitizer errors still stop it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4:detect_leaks=0}
nice "$out/fuzz_avm2" "$out/corpus" "$out/seeds" -runs="$runs" -max_total_time="$seconds" \
  -max_len=16384 -detect_leaks=0 -rss_limit_mb=1024 -timeout=10 -artifact_prefix="$out/artifacts/" \
  -print_final_stats=1 2>&1 |
  tee "$out/last-run.log" | grep -E '^#[0-9]+.*(INITED|DONE|pulse)|^stat::|ERROR|SUMMARY' || true
status=${PIPESTATUS[0]}
echo "corpus: $(ls "$out/corpus" | wc -l) inputs; log: $out/last-run.log"
exit "$status"
