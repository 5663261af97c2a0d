#!/usr/bin/env bash
# Photographs the wizard's four pages under Xvfb into docs/images/wizard-*.png: a project
# file fills the fields, Alt+N moves on, and the third page's Next really builds.
# Usage: scripts/wizard-screenshots.sh   (after a build; uses build/bin and build/wine)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/docs/images
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

winpath() { echo "Z:$1" | tr / '\\'; }

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -d build/wine/template ]; then
  cp -a build/wine/template "$WINEPREFIX"
else
  wineboot -i >/dev/null 2>&1
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

# The companion files beside the wizard, named in its App Paths entry (32-bit view).
wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\qmwizard.exe' \
  /v Path /d "$(winpath "$root/build/bin")" /f /reg:32 >/dev/null 2>&1
# A project under C:\Movies, as a person would keep one.
movies=$WINEPREFIX/drive_c/Movies
mkdir -p "$movies"
cp build/generated/default.swf "$movies/ocean waves.swf"
printf '[Parameters]\r\nDisplayName=Ocean waves\r\nMoviePath=%s\r\nDestinationPath=%s\r\n' \
  'C:\Movies\ocean waves.swf' 'C:\Movies\Ocean waves.exe' >"$movies/ocean.qmv"

wine build/bin/qmwizard.exe "C:\\Movies\\ocean.qmv" &
wizard_pid=$!

shoot() {
  sleep 1.5
  local id
  id=$(xdotool search --name '^Flickwell Wizard$' | head -n1)
  import -window "$id" "$out/wizard-$1.png"
  echo "wrote docs/images/wizard-$1.png"
}
next() {
  local id
  id=$(xdotool search --name '^Flickwell Wizard$' | head -n1)
  xdotool windowfocus "$id" key alt+n
}

sleep 3
shoot 1-welcome
next; shoot 2-screen-saver
next; shoot 3-project
next; shoot 4-finish
xdotool key Escape
wait "$wizard_pid" || true
