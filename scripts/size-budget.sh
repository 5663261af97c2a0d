#!/usr/bin/env bash
# Prints the sizes of our two stubs without what the wizard puts into them, beside NSIS's
# x86 ANSI zlib stub for scale. template.scr carries the movie player (control and engine)
# since every screen saver must play where nothing is installed; it is shown beside its size
# before that (the runtime alone) and beside the aim of 512 KB.
# Usage: scripts/size-budget.sh [BIN_DIR]     (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/bin}
/usr/bin/python3 - "$bin" <<'PY'
import os, sys
sys.path.insert(0, "tools")
import pe_resources

bin_dir = sys.argv[1]
reference = "/usr/share/nsis/Stubs/zlib-x86-ansi"
ref = os.path.getsize(reference) if os.path.exists(reference) else 91136
RUNTIME_ALONE = 40332  # template.scr without its movie before the player moved into it
AIM = 512 * 1024

def without(path, slot):
    total = os.path.getsize(path)
    carried = sum(len(d) for t, n, lang, d in pe_resources.entries(path) if (t, n) == slot)
    return total, carried, total - carried

rows = [("template.scr without its movie", os.path.join(bin_dir, "template.scr"), ("SWF", "202")),
        ("setup.ex_ without its payload", os.path.join(bin_dir, "setup.ex_"), ("SCR", "101"))]
print("%-40s %10s %10s %10s %8s" % ("file", "on disk", "carried", "own", "of ref"))
own_saver = None
for label, path, slot in rows:
    total, carried, own = without(path, slot)
    own_saver = own if own_saver is None else own_saver
    print("%-40s %10d %10d %10d %7.1f%%" % (label, total, carried, own, 100.0 * own / ref))
print("%-40s %10s %10s %10d %7.1f%%" % ("template.scr before the player was inside", "", "",
                                        RUNTIME_ALONE, 100.0 * RUNTIME_ALONE / ref))
print("%-40s %10d %10s %10d %7.1f%%" % ("NSIS zlib-x86-ansi stub (reference)", ref, "", ref, 100.0))
print("template.scr with the player: %.1f x its former size, %.0f%% of the %d KB aim"
      % (own_saver / RUNTIME_ALONE, 100.0 * own_saver / AIM, AIM // 1024))
PY
