#!/usr/bin/env bash
# Makes the template Wine prefix that every test clones: a 64-bit prefix, as on today's
# Windows, where our 32-bit programs meet WOW64 (SysWOW64, the registry's 32-bit view).
# Usage: wine-prefix.sh DIR    (does nothing when DIR is already a finished prefix)
set -euo pipefail
dir=$1
stamp="$dir/.flickwell-template"
want="$(wine --version 2>/dev/null)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >/dev/null 2>&1 || true
wineserver -w
if [ ! -f "$dir/system.reg" ]; then
  echo "wine-prefix: wineboot made no prefix in $dir" >&2
  exit 1
fi
echo "$want" >"$stamp"
