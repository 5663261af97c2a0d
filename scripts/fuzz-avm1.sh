#!/usr/bin/env bash
# Fuzzes the ActionScript interpreter natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, starting from assembled seed scripts. Stops after a number
# of runs (default 10^7) or seconds, whichever comes first. Not part of CI. Leak checks are
# off: the target keeps a Vm across inputs on purpose, and the heap frees by its own GC.
# Usage: scripts/fuzz-avm1.sh [runs] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
seconds=${2:-7200}

# The fuzzer's own tools: clang with its runtime libraries, and llvm-cov for coverage.
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
missing=()
for p in clang libclang-rt-14-dev llvm-14; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

out=build/fuzz-avm1
mkdir -p "$out/corpus" "$out/artifacts"
# The interpreter and the layers below it that its library reaches (text, bitmaps, filters).
avm1=(player/core/avm1/*.cpp player/core/swf/*.cpp player/core/timeline/*.cpp player/core/render/*.cpp
      player/core/video/*.cpp)
mkdir -p "$out/stb"
cmake -DSTB_IMAGE_IN=/usr/include/stb/stb_image.h -DSTB_IMAGE_OUT="$out/stb/stb_image_guarded.h" \
  -P cmake/stb_image_guarded.cmake
inc=(-I. -isystem /usr/include/stb -isystem "$out/stb")
clang++ -std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "${inc[@]}" tools/fuzz/fuzz_avm1.cpp "${avm1[@]}" -lz -lpthread -o "$out/fuzz_avm1"
# The same target with source coverage and no sanitizers, to measure what the corpus reaches.
clang++ -std=c++17 -O1 -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping \
  "${inc[@]}" tools/fuzz/fuzz_avm1.cpp "${avm1[@]}" -lz -lpthread -o "$out/fuzz_avm1_cov"
clang++ -std=c++17 -O1 -I. tools/fuzz/avm1_seeds.cpp tests/engine/avm1_asm.cpp -o "$out/seeds"
"$out/seeds" "$out/corpus"

# A small quarantine keeps use-after-free detection for recent frees without paging in
# fresh memory for every run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4}
nice "$out/fuzz_avm1" "$out/corpus" -runs="$runs" \
  -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -timeout=10 -detect_leaks=0 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 2>&1 |
  tee "$out/last-run.log" | grep -E '^#[0-9]+.*(INITED|DONE|pulse)|^stat::|ERROR|SUMMARY' || true
status=${PIPESTATUS[0]}
echo "corpus: $(ls "$out/corpus" | wc -l) inputs; log: $out/last-run.log"

# Coverage of the interpreter by the corpus the run left behind.
if command -v llvm-profdata-14 >/dev/null; then
  LLVM_PROFILE_FILE="$out/fuzz.profraw" "$out/fuzz_avm1_cov" -runs=0 "$out/corpus" \
    >/dev/null 2>&1 || true
  llvm-profdata-14 merge -sparse "$out/fuzz.profraw" -o "$out/fuzz.profdata"
  llvm-cov-14 report "$out/fuzz_avm1_cov" -instr-profile="$out/fuzz.profdata" "${avm1[@]}" |
    tail -n 13 | cut -c1-30,120-200
fi
exit "$status"
