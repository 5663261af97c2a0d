#!/usr/bin/env bash
# From a fresh Debian 12 machine to a playing screen saver, under Wine:
#   installs what is missing, builds, makes a Wine prefix in <build>/wine/demo and installs
#   the toolkit there with its own installer (silently). <build> is the build this machine
#   runs (scripts/lib/wine.sh): the shipped i686 one in build/ where 32-bit programs start,
#   else the x86_64 one in build64/. Then:
#   - with a display ($DISPLAY set): opens the Flickwell Wizard for you;
#   - without one: builds a screen saver installer from the default movie with qmbuild,
#     installs it, starts the installed screen saver as Windows would, takes a screenshot
#     of it playing, closes it with a mouse move and uninstalls it again.
# Options: --headless  do the unattended run even when a display is there
#          --docs      also copy the screenshot to docs/images/demo-saver.png
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

headless=""
docs=""
for arg in "$@"; do
  case "$arg" in
    --headless) headless=1 ;;
    --docs) docs=1 ;;
    *) echo "usage: scripts/demo.sh [--headless] [--docs]" >&2; exit 2 ;;
  esac
done
[ -z "${DISPLAY:-}" ] && headless=1

source scripts/lib/wine.sh
wine_pick || exit 1
preset=$FLICKWELL_PRESET
view=$FLICKWELL_REG_VIEW
build=$root/$FLICKWELL_BUILD_DIR
if [ "$preset" = mingw ]; then
  echo "demo: demonstrating the i686 build (build/), the programs that ship"
else
  echo "demo: demonstrating the x86_64 build (build64/): this machine cannot start 32-bit"
  echo "      programs; scripts/smoke-i686.sh runs the shipped i686 ones through an emulator"
fi
prefix=$build/wine/demo
work=$build/demo
version=$(sed -n 's/^project(Flickwell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
toolkit_setup=$build/flickwell-$version-setup.exe
name="Flickwell Demo"

current="" retry=""
xvfb_pid="" saver_pid=""
step() {
  current=$1 retry=$2
  printf '\n==> %s\n' "$current"
}
fail() {
  echo
  echo "demo: FAILED at: $current${1:+ ($1)}"
  echo "demo: to retry: $retry"
  exit 1
}
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# A Windows path for a file of this machine (Wine maps / to drive Z:).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# A registry value as `wine reg query` prints it, or nothing.
reg_value() {
  wine reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | head -n1
}

# The current screen saver; `wine reg` shows an empty value as noise, so only a path counts.
saver_setting() {
  reg_value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE | grep -E '^[A-Za-z]:\\' || true
}

step "Installing what is missing (Debian packages)" "bash scripts/install-deps.sh"
bash scripts/install-deps.sh || fail

step "Building the toolkit and its installer into $build/" \
  "cmake --preset $preset && cmake --build --preset $preset"
mkdir -p "$build"
log=$build/demo-build.log
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target toolkit_installer qmbuild fwanswer; } \
  >"$log" 2>&1; then
  tail -n 30 "$log"
  fail "the whole output is in $log"
fi
[ -f "$toolkit_setup" ] || fail "no $toolkit_setup"
echo "toolkit installer: $toolkit_setup"

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, and no menu entries on this machine for what we install.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"

if [ -n "$headless" ]; then
  step "Starting a virtual display (Xvfb)" "install xvfb (bash scripts/install-deps.sh)"
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r -t 10 number <"$fifo" || fail "Xvfb did not start"
  rm -f "$fifo"
  export DISPLAY=":$number"
  echo "display $DISPLAY"
fi

step "Making a fresh Wine prefix in $prefix" "rm -rf $prefix && scripts/demo.sh"
wineserver -k 2>/dev/null
rm -rf "$prefix" "$work"
mkdir -p "$(dirname "$prefix")" "$work"
( unset DISPLAY; wineboot -i >/dev/null 2>&1 ) || true
# Without a window manager, managed windows wait for one on every hide.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
[ -f "$prefix/system.reg" ] || fail "wineboot made no prefix"

step "Installing the toolkit with its own installer (silent: /S)" \
  "WINEPREFIX=$prefix wine $toolkit_setup /S"
wine "$toolkit_setup" /S || fail "the installer ended with an error"
wineserver -w
app_paths='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\qmwizard.exe'
folder=$(reg_value "$app_paths" Path "$view")
[ -n "$folder" ] || fail "no App Paths entry of qmwizard.exe"
echo "installed in $folder (App Paths entry of qmwizard.exe)"
echo "on this machine: $(readlink -f "$(wine winepath -u "$folder" 2>/dev/null)")"

if [ -z "$headless" ]; then
  step "Opening the Flickwell Wizard on $DISPLAY (close it to end the demo)" \
    "WINEPREFIX=$prefix wine '$folder\\qmwizard.exe'"
  echo "a movie to try: $(winpath "$build/generated/default.swf")"
  wine "$folder\\qmwizard.exe"
  echo
  echo "demo: done. The Wine prefix stays in $prefix"
  exit 0
fi

step "Building a screen saver installer from the default movie with qmbuild" \
  "WINEPREFIX=$prefix wine '$folder\\qmbuild.exe' '$(winpath "$work/demo.qmv")'"
installer=$work/flickwell-demo-setup.exe
printf '[Parameters]\r\nDisplayName=%s\r\nMoviePath=%s\r\nDestinationPath=%s\r\n' \
  "$name" "$(winpath "$build/generated/default.swf")" "$(winpath "$installer")" \
  >"$work/demo.qmv"
wine "$folder\\qmbuild.exe" "$(winpath "$work/demo.qmv")" || fail
[ -f "$installer" ] || fail "no $installer"

step "Installing the screen saver (answering its message box)" \
  "WINEPREFIX=$prefix wine $build/tools/fwanswer.exe ok '$(winpath "$installer")'"
before=$(saver_setting)
wine "$build/tools/fwanswer.exe" ok "$(winpath "$installer")" || fail
wineserver -w
saver=$(saver_setting)
[ -n "$saver" ] || fail "no SCRNSAVE.EXE setting"
echo "current screen saver (SCRNSAVE.EXE): $saver"

step "Starting the installed screen saver as Windows would: \"$saver\" /s" \
  "WINEPREFIX=$prefix wine '$saver' /s"
wine "$saver" /s &
saver_pid=$!
sleep 4
kill -0 "$saver_pid" 2>/dev/null || fail "the screen saver ended at once"

step "Taking a screenshot" "import -window root $work/demo-saver.png"
shot=$work/demo-saver.png
import -display "$DISPLAY" -window root "$shot" || fail
centre=$(convert "$shot" -format '%[pixel:p{512,384}]' info: 2>/dev/null)
echo "screenshot: $shot"
# The default movie's background colour, RGB 0x1E,0x4A,0x7A, fills the screen while it plays.
case "$centre" in
  "srgb(30,74,122)" | "#1E4A7A"*) echo "it shows the movie's background colour #1E4A7A" ;;
  *) fail "the screen shows $centre, not the movie's background #1E4A7A: look at $shot" ;;
esac
if [ -n "$docs" ]; then
  mkdir -p "$root/docs/images"
  cp "$shot" "$root/docs/images/demo-saver.png" && echo "copied to docs/images/demo-saver.png"
fi

step "Closing the screen saver with a mouse move" "xdotool mousemove 10 10"
xdotool mousemove 200 200 sleep 0.3 mousemove 600 500 sleep 0.3 mousemove 100 100 || fail
for _ in $(seq 1 50); do
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$saver_pid" 2>/dev/null; then
  fail "the screen saver is still running"
fi
saver_pid=""
echo "the screen saver has closed"

step "Uninstalling the screen saver from its uninstall entry's command" \
  "WINEPREFIX=$prefix wine $build/tools/fwanswer.exe yes,ok --uninstall '$name'"
wine "$build/tools/fwanswer.exe" yes,ok --uninstall "$name" || fail
wineserver -w
now=$(saver_setting)
echo "current screen saver now: ${now:-(none)}, as before the install: ${before:-(none)}"
[ "$now" = "$before" ] || fail "the previous screen saver was not restored"
if wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s "$view" 2>/dev/null |
  grep -q "DisplayName.*$name"; then
  fail "the uninstall entry is still there"
fi
echo "the uninstall entry is gone"
# The uninstaller deletes itself through a helper copy once it has ended.
program_files="Program Files (x86)"
[ "$view" = /reg:64 ] && program_files="Program Files"
product="$prefix/drive_c/$program_files/Tovik/Flickwell"
for _ in $(seq 1 50); do
  compgen -G "$product/UN*.exe" >/dev/null || break
  sleep 0.2
done
if compgen -G "$product/UN*.exe" >/dev/null; then
  fail "the uninstaller did not remove itself from $product"
fi
echo "the uninstaller has removed itself"

echo
echo "demo: done."
echo "  toolkit installer:          $toolkit_setup"
echo "  screen saver installer:     $installer"
echo "  its project file:           $work/demo.qmv"
echo "  screenshot of it playing:   $shot"
echo "  Wine prefix:                $prefix"
