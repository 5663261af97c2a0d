# Sourced by scripts that drive the wizard by hand: a throwaway Wine prefix copied from
# the tests' template, a virtual display of its own, and the wizard's App Paths entry
# naming $build/bin. Sets WINEPREFIX, DISPLAY, $build (the build this machine runs:
# scripts/lib/wine.sh) and $work; everything goes at exit.
# Needs: cd to the source root first.
source scripts/lib/wine.sh
wine_pick || exit 1
build=$FLICKWELL_BUILD_DIR
work=$(mktemp -d)
xvfb_pid=""
wine_session_cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap wine_session_cleanup EXIT

winpath() { echo "Z:$1" | tr / '\\'; }

tests/support/wine-prefix.sh "$build/wine/template"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cp -a "$build/wine/template" "$WINEPREFIX"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

# The companion files beside the wizard, named in its App Paths entry (in the registry
# view of the wizard's own width).
wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\qmwizard.exe' \
  /v Path /d "$(winpath "$(pwd)/$build/bin")" /f "$FLICKWELL_REG_VIEW" >/dev/null 2>&1
