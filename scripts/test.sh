#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine (each test in its own
# throwaway prefix and X display). Extra arguments go to ctest, e.g. -R wizard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset mingw -j2 "$@"

# The portable engine natively: its tests hold pictures against the reference player's.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native
