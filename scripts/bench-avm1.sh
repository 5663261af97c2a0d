#!/usr/bin/env bash
# Script speed of the ActionScript interpreter, natively: 500 clips moved by onEnterFrame
# handlers with Math calls (ms per frame beside the same work in C++), and a tight loop's
# actions per second.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build build-native -j2 --target avm1_bench >/dev/null
build-native/tests/engine/avm1_bench
