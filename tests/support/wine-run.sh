#!/usr/bin/env bash
# Runs one test program under Wine in its own throwaway prefix and its own X display.
# Usage: wine-run.sh TEMPLATE_PREFIX TEST_PREFIX PROGRAM [ARGS...]
# Environment: WINE_WINDOWS_VERSION (for example win98) sets the version Wine reports.
set -uo pipefail
template=$1 prefix=$2
shift 2
source "$(dirname "$0")/../../scripts/lib/wine.sh"
wine_pick || exit 1

# A 32-bit program where only the 64-bit loader starts would fail in ways that name
# nothing; say what to run instead. (PE: e_lfanew at 0x3c, the machine after "PE\0\0".)
machine() {
    local offset
    offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$offset" ] && od -An -t x2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
if [ "$FLICKWELL_WINE_BITS" = 64 ] && [ "$(machine "$1")" = 014c ]; then
    echo "wine-run: $1 is a 32-bit program and this machine starts only 64-bit Wine:" \
         "test the x86_64 build (ctest --preset mingw64)" >&2
    exit 1
fi

# Clone the template with hard links. Wine rewrites the registry files and the profile
# files in place, so those are real copies; everything else is shared read-only.
rm -rf "$prefix"
mkdir -p "$prefix"
cp -al "$template/." "$prefix/"
for f in "$prefix"/*.reg "$prefix"/drive_c/windows/*.ini; do
  [ -e "$f" ] && cp --remove-destination "$template/${f#"$prefix"/}" "$f"
done

export WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

# A display of our own, so tests that look at the screen or move the mouse can run in
# parallel without seeing each other's windows.
xvfb_pid=""
if [ -z "${FLICKWELL_SHARED_DISPLAY:-}" ]; then
  fifo="$prefix/.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$fifo" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$fifo")"
fi

if [ -n "${WINE_WINDOWS_VERSION:-}" ]; then
  wine reg add 'HKCU\Software\Wine' /v Version /d "$WINE_WINDOWS_VERSION" /f >/dev/null 2>&1
fi

wine "$@"
rc=$?

wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
# A passing test leaves nothing behind; a failing one keeps its prefix for a look.
[ "$rc" = 0 ] && [ -z "${FLICKWELL_KEEP_PREFIX:-}" ] && rm -rf "$prefix"
exit $rc
