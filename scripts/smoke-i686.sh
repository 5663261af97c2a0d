#!/usr/bin/env bash
# Smoke of the shipped i686 programs under Wine, in a 64-bit prefix where they meet WOW64:
# the i686 toolkit installer installs the toolkit silently, its qmbuild builds a screen
# saver package from the default movie, the package's installer installs it (the setting
# names the SysWOW64 path), the i686 saver started from that setting is seen drawing the
# movie's colour, closes on input, and its uninstaller restores the setting it found and
# removes itself.
#
# Where 32-bit Linux programs cannot start (kernel IA-32 emulation off), they start
# through qemu-user: as root the script mounts binfmt_misc and registers an i386 entry
# for qemu-i386-static when none is there, and removes that entry (and the mount) again
# however it ends. Each 32-bit process then costs about 50 s of processor time before
# its first DLL loads (Debian 12's qemu 7.2 ignores MAP_FIXED_NOREPLACE, so Wine's
# reservation of the upper address space splits into some 65,000 mmap calls), so the
# smoke starts as few as it can and keeps its prefix (build/wine/smoke-template) for
# next time. The helpers (registry edits, the message box answerer) run 64-bit there.
# Usage: scripts/smoke-i686.sh   (builds what it needs; prints its time per step)
# Exit code: 0 passed, 1 failed, 2 cannot run on this machine (it says why).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s)
source scripts/lib/wine.sh

build=$root/build
template=$build/wine/smoke-template
prefix=$build/wine/smoke
work=$build/smoke
name="Flickwell Smoke"
binfmt=/proc/sys/fs/binfmt_misc
entry=flickwell-i386
added_entry="" mounted_binfmt="" xvfb_pid="" saver_pid=""

current="" step_started=$started times=""
step() {
  local now
  now=$(date +%s)
  [ -n "$current" ] && times+=$(printf '%6d s  %s' $((now - step_started)) "$current")$'\n'
  current=$1 step_started=$now
  printf '\n==> %s  [%ds]\n' "$1" $((now - started))
}
fail() {
  echo "smoke-i686: FAILED at: $current${1:+ ($1)} after $(($(date +%s) - started)) s" >&2
  exit 1
}
# This machine cannot run the smoke at all (exit 2): nothing was tried.
unable() {
  echo "smoke-i686: cannot run here: $1" >&2
  exit 2
}
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  [ -d "$template" ] && WINEPREFIX=$template wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # The emulator entry goes only once no process started through it is left.
  if [ -n "$added_entry" ]; then
    echo -1 >"$binfmt/$entry" 2>/dev/null || echo "smoke-i686: could not remove $binfmt/$entry" >&2
  fi
  [ -n "$mounted_binfmt" ] && umount "$binfmt" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
reg_value() {
  wine reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | head -n1
}
saver_setting() {
  reg_value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE | grep -E '^[A-Za-z]:\\' || true
}
centre_colour() {
  import -display "$DISPLAY" -window root "$1" 2>/dev/null &&
    convert "$1" -format '%[pixel:p{512,384}]' info: 2>/dev/null
}

step "Finding how 32-bit programs start here"
wine32=$FLICKWELL_WINE32
qemu=/usr/bin/qemu-i386-static
existing=""
if "$wine32" --version >/dev/null 2>&1 && ! existing=$(wine_i386_emulator_entry); then
  echo "natively: $wine32"
  how=native
else
  how=qemu
  [ -x "$qemu" ] || unable "32-bit programs cannot start here and $qemu is missing (Debian package qemu-user-static)"
  [ -x "$wine32" ] || unable "$wine32 is missing (Debian package wine32:i386)"
  [ -n "$existing" ] || [ "$(id -u)" = 0 ] || unable "registering an i386 binfmt entry needs root"
  echo "through $qemu${existing:+ (the existing binfmt entry '$existing')}"
  # The emulator keeps the whole 32-bit address space for the guest from the start: left to
  # place its own mappings, it can take the page Wine maps its shared user data to, and
  # wineboot then fails ("failed to map the shared user data") with no 32-bit half made.
  export QEMU_RESERVED_VA=0xf7000000
fi
# The helpers run at the width this machine starts quickly; their prefix is 64-bit.
FLICKWELL_WINE_BITS=$([ "$how" = native ] && echo 32 || echo 64)
unset FLICKWELL_WINE_LOADER
wine_pick 2>/dev/null || unable "no Wine loader starts here"
helpers=$root/$FLICKWELL_BUILD_DIR
# Wine's diagnostics of a missing driver or library stay on: a step fails silently without.
export WINEDEBUG=-all,err+winediag WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export FWANSWER_WAIT_SECONDS=600

step "Building the i686 programs (build/) and the helpers ($FLICKWELL_BUILD_DIR/)"
mkdir -p "$work"
{ cmake --preset mingw && cmake --build --preset mingw --target toolkit_installer &&
  cmake --preset "$FLICKWELL_PRESET" && cmake --build --preset "$FLICKWELL_PRESET" --target fwanswer
} >"$work/build.log" 2>&1 || { tail -n 20 "$work/build.log"; fail "see $work/build.log"; }

# Registered only now, for as short a time as can be: while the entry is there, every
# 32-bit program on this machine starts through the emulator.
if [ "$how" = qemu ] && [ -z "$existing" ]; then
  step "Registering a binfmt entry for i386 programs (removed at the end)"
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || unable "cannot mount $binfmt"
    mounted_binfmt=1
  fi
  # i386 ELF executables (ELFCLASS32, little endian, e_machine 3); F: the kernel opens
  # the emulator now, so it is found whatever root the program later runs under.
  printf '%s' ":$entry:M::"'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'":"'\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'":$qemu:F" \
    >"$binfmt/register" || unable "cannot register the binfmt entry"
  added_entry=1
  echo "$binfmt/$entry -> $qemu"
fi
[ "$how" = native ] || "$wine32" --version >/dev/null 2>&1 || unable "$wine32 does not start even through $qemu"

step "A 64-bit prefix with its 32-bit half (made once, kept in $template)"
want="$(wine --version) smoke-1"
if [ "$(cat "$template/.flickwell-smoke" 2>/dev/null)" != "$want" ]; then
  rm -rf "$template"
  mkdir -p "$(dirname "$template")"
  ( export WINEPREFIX=$template WINEARCH=win64; unset DISPLAY
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w )
  [ -f "$template/drive_c/windows/syswow64/kernel32.dll" ] ||
    fail "wineboot made no 32-bit half (no syswow64\\kernel32.dll)"
  echo "$want" >"$template/.flickwell-smoke"
fi
rm -rf "$prefix"
cp -a "$template" "$prefix"
export WINEPREFIX=$prefix
# One display for the whole session: the first process of a Wine session picks the
# display driver for all that follow, so a session begun without a display creates no
# window later (the installer's message box then fails and it just ends).
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

step "Installing the toolkit with the i686 toolkit installer, silently (32-bit start 1)"
version=$(sed -n 's/^project(Flickwell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
wine "$build/flickwell-$version-setup.exe" /S || fail "the installer ended with an error"
wineserver -w
folder=$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\qmwizard.exe' Path /reg:32)
[ -n "$folder" ] || fail "no App Paths entry of qmwizard.exe in the 32-bit view"
echo "installed in $folder"

step "Building a package from the default movie with the installed qmbuild (32-bit start 2)"
installer=$work/smoke-setup.exe
rm -f "$installer"
printf '[Parameters]\r\nDisplayName=%s\r\nMoviePath=%s\r\nDestinationPath=%s\r\n' \
  "$name" "$(winpath "$build/generated/default.swf")" "$(winpath "$installer")" >"$work/smoke.qmv"
wine "$folder\\qmbuild.exe" "$(winpath "$work/smoke.qmv")" | tr -d '\r' || fail
[ -f "$installer" ] || fail "no $installer"

step "Installing it (32-bit start 3)"
before=$(saver_setting)
wine "$helpers/tools/fwanswer.exe" ok "$(winpath "$installer")" | tr -d '\r' || fail
wineserver -w
saver=$(saver_setting)
echo "setting SCRNSAVE.EXE: $saver"
stem=$(sed -n 's/.*\\\([^\\]*\)\.[sS][cC][rR]$/\1/p' <<<"$saver")
case "${saver,,}" in
  *'\syswow64\'*) echo "it names the SysWOW64 path, where the 32-bit installer's file went" ;;
  *) fail "the setting does not name SysWOW64" ;;
esac
installed=$(ls "$prefix"/drive_c/windows/syswow64/"${stem,,}".scr 2>/dev/null ||
  ls "$prefix"/drive_c/windows/syswow64/"$stem".scr 2>/dev/null)
[ -n "$installed" ] || fail "no $stem.scr in syswow64"

step "Starting the i686 saver from the setting: \"$saver\" /s (32-bit start 4)"
wine "$saver" /s &
saver_pid=$!
shot=$work/smoke-saver.png
colour=""
for _ in $(seq 1 60); do
  sleep 5
  kill -0 "$saver_pid" 2>/dev/null || fail "the screen saver ended"
  xdotool search --name '^Screen Saver Error$' >/dev/null 2>&1 &&
    fail "the screen saver shows an error box: look at $(centre_colour "$shot" >/dev/null; echo "$shot")"
  colour=$(centre_colour "$shot")
  case "$colour" in "srgb(30,74,122)" | "#1E4A7A"*) break ;; esac
done
case "$colour" in
  "srgb(30,74,122)" | "#1E4A7A"*) echo "it draws the movie's colour #1E4A7A: $shot" ;;
  *) fail "the screen's centre is $colour, not the movie's #1E4A7A: look at $shot" ;;
esac

step "Closing it with a mouse move"
xdotool mousemove 200 200 sleep 0.5 mousemove 600 500 sleep 0.5 mousemove 100 100 || fail
for _ in $(seq 1 120); do
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 1
done
kill -0 "$saver_pid" 2>/dev/null && fail "the screen saver is still running"
saver_pid=""
echo "closed"

step "Uninstalling it from its uninstall entry (32-bit starts 5 and 6)"
wine "$helpers/tools/fwanswer.exe" yes,ok --uninstall "$name" | tr -d '\r' || fail
# The uninstaller has ended and changed all it changes; its cleanup copy runs on.
now=$(saver_setting)
echo "setting now: ${now:-(none)}, before the install: ${before:-(none)}"
[ "$now" = "$before" ] || fail "the setting was not restored"
[ -e "$installed" ] && fail "$installed is still there"
wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
  grep -q "DisplayName.*$name" && fail "the uninstall entry is still there"
echo "setting restored; the saver and its uninstall entry are gone"
# The cleanup copy holds the uninstaller's file for deletion and lets it go when it ends,
# once it has started the file again to remove the copy's folder. That last process (a
# seventh 32-bit start) is not waited for: the prefix is thrown away.
uninstallers="$prefix/drive_c/Program Files (x86)/Tovik/Flickwell/UN*.exe"
for _ in $(seq 1 120); do
  compgen -G "$uninstallers" >/dev/null || break
  sleep 5
done
compgen -G "$uninstallers" >/dev/null && fail "the uninstaller did not remove itself: $(echo $uninstallers)"
echo "the uninstaller has removed itself"

step "Done"
printf '\nTime per step:\n%s' "$times"
echo "smoke-i686: passed ($how) in $(($(date +%s) - started)) s"
