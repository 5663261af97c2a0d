#!/usr/bin/env bash
# Fuzzes each video decoder natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, seeded with small clips ffmpeg writes (VP6: our test encoder,
# tools/vp6writer.py), for a number of seconds each (default 180) or FUZZ_RUNS executions,
# whichever comes first. Findings land in build/fuzz-video/CODEC/artifacts; minimised ones go to
# tests/video/fuzz/, which the video tests replay. Not part of CI.
# Usage: scripts/fuzz-video.sh [seconds] [codec ids...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
shift || true
codecs=("${@:-2 3 4 5 6}")
runs=${FUZZ_RUNS:--1}
out=build/fuzz-video
mkdir -p "$out/movies" "$out/stb"
cmake -DSTB_IMAGE_IN=/usr/include/stb/stb_image.h -DSTB_IMAGE_OUT="$out/stb/stb_image_guarded.h" \
  -P cmake/stb_image_guarded.cmake
src="-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 4"
ffmpeg -v error -y $src -c:v flv1 -g 2 -f swf "$out/movies/h263.swf"
ffmpeg -v error -y $src -c:v flv1 -flags +mv4 -f swf "$out/movies/h263_mv4.swf"
ffmpeg -v error -y $src -c:v flashsv -g 2 -f swf "$out/movies/screen.swf"
python3 tools/vp6writer.py "$out/movies/vp6" 48 32 4 gop=2
python3 tools/vp6writer.py "$out/movies/vp6_split" 32 32 4 gop=3 split=1 filter=2
python3 tools/vp6writer.py "$out/movies/vp6_huffman" 32 32 4 gop=3 huffman=1 q=40
python3 tools/vp6writer.py "$out/movies/vp6a" 32 16 4 gop=2 alpha=1
ffmpeg -v error -y $src -c:v flashsv2 -g 2 "$out/movies/screen2.flv"
python3 tools/flv2swf.py "$out/movies/screen2.flv" "$out/movies/screen2.swf" 64 48
engine=(player/core/video/*.cpp player/core/swf/video_tags.cpp player/core/swf/bitmaps.cpp
        player/core/swf/movie_reader.cpp player/core/swf/lzma.cpp)
for codec in ${codecs[@]}; do
  dir="$out/$codec"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  case $codec in
    2) python3 tools/fuzz/video_seeds.py "$dir/corpus" "$out/movies"/h263*.swf ;;
    3) python3 tools/fuzz/video_seeds.py "$dir/corpus" "$out/movies/screen.swf" ;;
    4) python3 tools/fuzz/video_seeds.py "$dir/corpus" "$out/movies"/vp6.swf "$out/movies"/vp6_split.swf \
         "$out/movies"/vp6_huffman.swf ;;
    5) python3 tools/fuzz/video_seeds.py "$dir/corpus" "$out/movies/vp6a.swf" ;;
    6) python3 tools/fuzz/video_seeds.py "$dir/corpus" "$out/movies/screen2.swf" ;;
  esac
  if [ -d "tests/video/fuzz" ]; then cp tests/video/fuzz/* "$dir/corpus/" 2>/dev/null || true; fi
  # Comparison tracing is off: the decoders' branches hang on entropy-coded bits it cannot
  # steer, and tracing the transforms' comparisons cost four runs in five.
  clang++ -std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -fno-sanitize-coverage=trace-cmp -DFUZZ_CODEC="$codec" -I. -isystem /usr/include/stb -isystem "$out/stb" tools/fuzz/fuzz_video.cpp "${engine[@]}" -lz \
    -o "$dir/fuzz_video"
  echo "codec $codec:"
  ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4} \
    nice "$dir/fuzz_video" "$dir/corpus" -max_total_time="$seconds" -runs="$runs" -max_len=65536 \
    -rss_limit_mb=1024 -timeout=60 -artifact_prefix="$dir/artifacts/" -print_final_stats=1 2>&1 |
    tee "$dir/last-run.log" | grep -E '^#[0-9]+.*DONE|^stat::number_of_executed_units|ERROR|SUMMARY' || true
done
