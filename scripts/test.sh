#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine (each test in its own
# throwaway prefix and X display) on the build this machine can run: the i686 build where
# 32-bit programs start, the x86_64 build where they cannot (scripts/lib/wine.sh).
# Extra arguments go to ctest, e.g. -R wizard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/lib/wine.sh
wine_pick || exit 1
cmake --preset "$FLICKWELL_PRESET" >/dev/null
cmake --build --preset "$FLICKWELL_PRESET"
ctest --preset "$FLICKWELL_PRESET" -j2 "$@"
