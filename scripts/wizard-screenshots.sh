#!/usr/bin/env bash
# Photographs the wizard's four pages under Xvfb into docs/images/wizard-*.png: a project
# file fills the fields, Alt+N moves on, and the third page's Next really builds.
# Usage: scripts/wizard-screenshots.sh   (after a build; uses bin/ and wine/ of the build this
# machine runs, build/ or build64/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/docs/images
source scripts/lib/wine-session.sh

# A project under C:\Movies, as a person would keep one.
movies=$WINEPREFIX/drive_c/Movies
mkdir -p "$movies"
cp "$build/generated/default.swf" "$movies/ocean waves.swf"
printf '[Parameters]\r\nDisplayName=Ocean waves\r\nMoviePath=%s\r\nDestinationPath=%s\r\n' \
  'C:\Movies\ocean waves.swf' 'C:\Movies\Ocean waves.exe' >"$movies/ocean.qmv"

wine "$build/bin/qmwizard.exe" "C:\\Movies\\ocean.qmv" &
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
