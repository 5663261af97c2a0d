#!/usr/bin/env bash
# Fuzzes the player's movie reader natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer for a bounded time (default 120 s), starting from the sample
# movies and the default movie. Not part of CI.
# Usage: scripts/fuzz-player.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}

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
mkdir -p "$out/corpus" "$out/artifacts"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. tools/fuzz/fuzz_movie_reader.cpp player/core/swf/movie_reader.cpp player/movie_url.cpp \
  player/core/timeline/frame_clock.cpp -lz -o "$out/fuzz_movie_reader"

movies=${FLICKWELL_MOVIES_DIR:-../shared/movies}
cp -n "$movies"/*.swf "$out/corpus/" 2>/dev/null || true
[ -f build/generated/default.swf ] && cp -n build/generated/default.swf "$out/corpus/"

"$out/fuzz_movie_reader" "$out/corpus" -max_total_time="$seconds" -max_len=65536 \
  -rss_limit_mb=1024 -artifact_prefix="$out/artifacts/" -print_final_stats=1 2>&1 |
  tee "$out/last-run.log" | grep -E '^#[0-9]+.*(INITED|DONE)|^stat::|ERROR|SUMMARY' || true
status=${PIPESTATUS[0]}
echo "corpus: $(ls "$out/corpus" | wc -l) inputs; log: $out/last-run.log"
exit "$status"
