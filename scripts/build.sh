#!/usr/bin/env bash
# Installs what is missing, then cross-builds qmwizard.exe, template.scr and setup.ex_
# into build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
echo "Built: $(pwd)/build/bin"
