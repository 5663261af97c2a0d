#!/usr/bin/env bash
# Benchmarks the screen saver under Wine (not a test): start-up latency from process start
# to the control's Play beside an empty window program, and idle CPU on a still movie.
# Usage: scripts/bench-saver.sh [RUNS] [SECONDS]     (after a build of the build this machine
# runs, build/ or build64/: scripts/lib/wine.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/wine.sh"
wine_pick || exit 1
build=$root/$FLICKWELL_BUILD_DIR
runs=${1:-20}
seconds=${2:-10}

cmake --build "$build" --target bench_saver -j2 >/dev/null
[ -f "$build/wine/template/.flickwell-template" ] ||
  "$root/tests/support/wine-prefix.sh" "$build/wine/template"

# A movie of one frame: nothing moves, so the player has nothing to do but wait.
still=$build/bench/still.swf
mkdir -p "$build/bench"
PYTHONPATH=$root/tools /usr/bin/python3 - "$still" <<'PY'
import sys
import swfwriter as swf
tags = [swf.set_background((0x1E, 0x4A, 0x7A)), swf.show_frame(), swf.end()]
open(sys.argv[1], "wb").write(swf.movie(tags, 550 * 20, 400 * 20, 12, 1, version=5))
PY

export FLICKWELL_BIN_DIR=$build/bin FLICKWELL_GENERATED_DIR=$build/generated \
  FLICKWELL_SOURCE_DIR=$root
# CPU seconds (user + system) of a host process, from /proc.
cpu_seconds() {
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$1/stat"
}

"$root/tests/support/wine-run.sh" "$build/wine/template" "$build/bench/prefix" \
  "$build/tests/bench_saver.exe" "$runs" "Z:${still//\//\\}" "$seconds" |
  while IFS= read -r line; do
    line=${line%$'\r'}
    if [[ $line == IDLE* ]]; then
      IFS='|' read -r what program secs <<<"${line#IDLE }"
      pid=$(pgrep -n -f "${program//./\\.}" || true)
      if [ -z "$pid" ]; then
        echo "idle CPU, $what: saver process not found"
        continue
      fi
      start=$(cpu_seconds "$pid")
      sleep "$secs"
      end=$(cpu_seconds "$pid")
      awk -v a="$start" -v b="$end" -v s="$secs" -v w="$what" \
        'BEGIN { printf "idle CPU with the player, %-24s %6.2f %% of one core over %d s\n", w, 100 * (b - a) / s, s }'
    else
      echo "$line"
    fi
  done
