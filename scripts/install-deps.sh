#!/usr/bin/env bash
# Installs what building and testing Flickwell needs on Debian 12; skips what is there.
# Both Windows builds (i686, what ships; x86_64, what runs the Wine tests where 32-bit
# programs cannot start) and qemu-user-static, through which scripts/smoke-i686.sh starts
# the i686 programs on such machines.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(
  cmake make ninja-build
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32 wine64
  qemu-user-static
  xvfb xauth x11-utils imagemagick xdotool
  python3 python3-pefile
  googletest libgtest-dev
  libstb-dev zlib1g-dev fonts-dejavu-core fonts-noto-core
  python3-numpy python3-pil
  libmpg123-dev liblzma-dev ffmpeg pulseaudio haxe
  nsis
  clang-format
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

# wine32 needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
# A mirror caught mid-sync fails an index now and serves it whole a little later; the
# i386 and amd64 lists must agree for wine32, so try again before going on without one.
for attempt in 1 2 3 4 5; do
  if $SUDO apt-get update -qq; then break; fi
  if [ "$attempt" = 5 ]; then
    echo "install-deps: package lists still incomplete; installing from what was fetched" >&2
  else
    sleep $((attempt * 15))
  fi
done
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
