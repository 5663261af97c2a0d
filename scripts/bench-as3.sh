#!/usr/bin/env bash
# ActionScript 3 script speed natively: 500 sprites moved in an enter-frame handler with
# Math calls (tools/as3/SpriteBench.hx, compiled with haxe when it is installed), ms per
# frame for the scripts beside the drawing and beside the same arithmetic in C++.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build build-native -j2 --target as3_bench >/dev/null
mkdir -p build
haxe -cp tools/as3 -swf build/as3_bench.swf -main SpriteBench -swf-version 10 \
  -swf-header 550:400:30:FFFFFF
build-native/tests/engine/as3_bench build/as3_bench.swf
