#!/usr/bin/env bash
# Prints the sizes of our two stubs without what the wizard puts into them, beside NSIS's
# x86 ANSI zlib stub for scale. template.scr carries the movie player (control and engine)
# since every screen saver must play where nothing is installed; it is shown beside its size
# before that (the runtime alone) and beside the goal of 1 MiB.
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
AIM = 1024 * 1024  # the goal: the saver with everything it plays within 1 MiB

def without(path, slot):
    total = os.path.getsize(path)
    carried = sum(len(d) for t, n, lang, d in pe_resources.entries(path) if (t, n) == slot)
    return total, carried, total - carried

rows = [("template.scr without its movie", os.path.join(bin_dir, "template.scr"), ("SWF", "202")),
        ("setup.ex_ without its payload", os.path.join(bin_dir, "setup.ex_"), ("SCR", "101"))]
print("%-40s %10s %10s %10s %8s" % ("file", "on disk", "carried", "own", "of ref"))
own_saver = None
for label, path, slot in rows:
    if not os.path.exists(path):
        print("%-40s %10s" % (label, "not built"))
        continue
    total, carried, own = without(path, slot)
    own_saver = own if own_saver is None else own_saver
    print("%-40s %10d %10d %10d %7.1f%%" % (label, total, carried, own, 100.0 * own / ref))
print("%-40s %10s %10s %10d %7.1f%%" % ("template.scr before the player was inside", "", "",
                                        RUNTIME_ALONE, 100.0 * RUNTIME_ALONE / ref))
print("%-40s %10d %10s %10d %7.1f%%" % ("NSIS zlib-x86-ansi stub (reference)", ref, "", ref, 100.0))
print("template.scr with the player: %.1f x its former size, %.0f%% of the %d KB goal"
      % (own_saver / RUNTIME_ALONE, 100.0 * own_saver / AIM, AIM // 1024))
print("template.scr %s the goal by %d bytes" % ("over" if own_saver > AIM else "within",
                                                abs(own_saver - AIM)))
PY

# What each library, each runtime piece and each large function adds to template.scr, from
# the link map of the same program linked from the plain code (template_plain: the shipped
# one is optimised as one whole, which leaves its map no libraries to name): sizes of the
# input sections the linker kept, before stripping and whole-program optimisation, by kind.
# Zero-filled data (.bss) takes no room in the file and is left out.
build=$(dirname "$bin")
map=$build/template_plain.map
if [ -f "$build/CMakeCache.txt" ]; then
  cmake --build "$build" --target template_plain >/dev/null
  ls -l "$build/tools/template_plain.scr" | awk '{ printf "\ntemplate.scr linked from the plain code: %d bytes\n", $5 }'
fi
if [ -f "$map" ]; then
  /usr/bin/python3 - "$map" <<'PY'
import collections, os, re, subprocess, sys

text = open(sys.argv[1], errors="replace").read()
lines = text.split("\n")
start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
KINDS = ((".text", "code"), (".rdata", "data"), (".data", "data"), (".eh_frame", "unwind"),
         (".gcc_except_table", "unwind"), (".xdata", "unwind"), (".pdata", "unwind"))
by_library = collections.defaultdict(collections.Counter)
by_symbol, by_member = collections.Counter(), collections.Counter()
pending = None
for line in lines[start:]:
    m = re.match(r"^ (\.[^\s]+)\s*$", line)
    if m:
        pending = m.group(1)
        continue
    m = re.match(r"^ (\.[^\s]+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
    if not m or (m.group(1) is None and pending is None):
        pending = None
        continue
    section, size, origin = m.group(1) or pending, int(m.group(2), 16), m.group(3).strip()
    pending = None
    kind = next((k for prefix, k in KINDS if section.startswith(prefix)), None)
    if kind is None:
        continue
    a = re.match(r"(.*\.a)\((.*)\)$", origin)
    library = os.path.basename(a.group(1)) if a else os.path.basename(origin)
    by_library[library][kind] += size
    if a and a.group(1).startswith("/"):  # the toolchain's, not ours
        by_member["%s(%s)" % (library, a.group(2))] += size
    name = section.split("$", 1)[1] if "$" in section else ""
    if name and kind != "unwind":
        by_symbol[name] += size

def row(label, counts):
    return "%-34s %9d %9d %9d %9d" % (label, counts["code"], counts["data"], counts["unwind"],
                                      sum(counts.values()))

print()
print("%-34s %9s %9s %9s %9s" % ("library", "code", "data", "unwind", "total"))
total = collections.Counter()
for library in sorted(by_library, key=lambda l: -sum(by_library[l].values())):
    total.update(by_library[library])
    if sum(by_library[library].values()) >= 1024:
        print(row(library, by_library[library]))
print(row("all", total))

# Why each piece of the C++ and MinGW runtime is in: the symbol that pulled it first.
why = {}
for m in re.finditer(r"^(\S+\.a)\(([^)]+)\)\s+(\S+)\s+\((.*)\)$", text.split("Discarded input sections")[0],
                     re.M):
    why.setdefault("%s(%s)" % (os.path.basename(m.group(1)), m.group(2)), m.group(4))
print()
print("%-44s %7s  %s" % ("runtime piece (largest)", "bytes", "pulled in by"))
for member, size in by_member.most_common(16):
    print("%-44s %7d  %s" % (member[:44], size, why.get(member, "")[:60]))

print()
print("%-72s %8s" % ("largest functions and tables", "bytes"))
top = by_symbol.most_common(24)
names = subprocess.run(["c++filt"], input="\n".join(n for n, _ in top),
                       capture_output=True, text=True).stdout.split("\n")
for (name, size), shown in zip(top, names):
    print("%-72s %8d" % (shown[:72], size))
PY
fi
