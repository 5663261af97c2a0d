#!/usr/bin/env bash
# Makes the template Wine prefix that every test clones: a 64-bit prefix, as on today's
# Windows, where our 32-bit programs meet WOW64 (SysWOW64, the registry's 32-bit view).
# Usage: wine-prefix.sh DIR    (does nothing when DIR is already a finished prefix)
set -euo pipefail
dir=$1
source "$(dirname "$0")/../../scripts/lib/wine.sh"
wine_pick
stamp="$dir/.flickwell-template"
# Bump the suffix when the prefix's make-up below changes, so old templates are remade.
want="$(wine --version 2>/dev/null) $FLICKWELL_WINE_BITS-bit unmanaged-1"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >/dev/null 2>&1 || true
# Xvfb runs no window manager; windows managed by one would make every hide wait 2 s for
# a withdrawal that never comes (a message box takes 2 s to close).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
if [ ! -f "$dir/system.reg" ]; then
  echo "wine-prefix: wineboot made no prefix in $dir" >&2
  exit 1
fi
echo "$want" >"$stamp"
