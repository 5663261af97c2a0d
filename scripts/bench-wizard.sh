#!/usr/bin/env bash
# Times the wizard's package build against the platform's floor for the same work, under
# Wine, for movies of 1, 64 and 256 MiB, and prints the ratios side by side.
#   wizard: qmwizard.exe driven from the Project Settings page's Next to the Finish page
#   floor:  a minimal program doing only the same copies and the same two resource updates
#   copy:   one plain copy of the movie, for scale
# Wall time is the median of RUNS runs (default 3); peak is the largest peak working set.
# Usage: scripts/bench-wizard.sh [RUNS]   (after a build; runs bench_build.exe of the build
# this machine runs, build/ or build64/: scripts/lib/wine.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-3}
source scripts/lib/wine-session.sh
mkdir -p "$WINEPREFIX/drive_c/bench"

measure() { # mode size -> "ms peak"
  wine "$build/tools/bench_build.exe" "$1" "C:\\bench\\movie$2.swf" 'C:\bench' | tr -d '\r'
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-8s | %9s %9s %9s %11s | %9s %9s %10s\n' movie wizard_ms floor_ms copy_ms \
  wizard/floor wizard_MB floor_MB wizard/floor
for mib in 1 64 256; do
  movie=$WINEPREFIX/drive_c/bench/movie$mib.swf
  mkdir -p "$(dirname "$movie")"
  { printf 'FWS'; head -c $((mib * 1048576 - 3)) /dev/urandom; } >"$movie"
  : >"$work/wizard" ; : >"$work/floor" ; : >"$work/copy"
  for _ in $(seq 1 "$runs"); do
    for mode in wizard floor copy; do
      measure $mode $mib >>"$work/$mode"
    done
  done
  w=$(cut -d' ' -f1 "$work/wizard" | median)
  f=$(cut -d' ' -f1 "$work/floor" | median)
  c=$(cut -d' ' -f1 "$work/copy" | median)
  wp=$(cut -d' ' -f2 "$work/wizard" | sort -n | tail -n1)
  fp=$(cut -d' ' -f2 "$work/floor" | sort -n | tail -n1)
  awk -v s="${mib} MiB" -v w="$w" -v f="$f" -v c="$c" -v wp="$wp" -v fp="$fp" 'BEGIN {
    printf "%-8s | %9d %9d %9d %11.2f | %9.1f %9.1f %12.2f\n",
      s, w, f, c, w / f, wp / 1048576, fp / 1048576, wp / fp }'
  rm -f "$movie"
done
