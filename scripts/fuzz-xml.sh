#!/usr/bin/env bash
# Fuzzes the XML parser and the XML class natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer. Stops after a number of seconds (default 300). Not part of CI.
# Findings go to build/fuzz-xml/artifacts; tests/engine/test_avm1_xml.cpp keeps them as rows.
# Usage: scripts/fuzz-xml.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
missing=()
for p in clang libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

out=build/fuzz-xml
mkdir -p "$out/corpus" "$out/artifacts"
avm1=(player/core/avm1/*.cpp player/core/swf/utf8.cpp)
clang++ -std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. tools/fuzz/fuzz_xml.cpp "${avm1[@]}" -o "$out/fuzz_xml"
# Seeds: one of each construct the parser knows.
i=0
for seed in '<a b="1"><c/>t&amp;</a>' '<?xml version="1.0"?><!DOCTYPE a [<!x>]><a/>' \
  '<!-- c --><![CDATA[<d>]]>' '<a><b></a>' '</a>' "<a x='1' x='2' y=v/>" ' <p:a xmlns:p="u"> </p:a> '; do
  printf '\x31%s' "$seed" > "$out/corpus/seed$i"
  i=$((i + 1))
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=4}
nice "$out/fuzz_xml" "$out/corpus" -max_total_time="$seconds" -max_len=8192 \
  -rss_limit_mb=1024 -timeout=10 -detect_leaks=0 -artifact_prefix="$out/artifacts/" \
  -print_final_stats=1 2>&1 | tee "$out/last-run.log" |
  grep -E '^#[0-9]+.*(INITED|DONE)|^stat::number_of_executed_units|ERROR|SUMMARY' || true
exit "${PIPESTATUS[0]}"
