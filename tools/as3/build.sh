#!/usr/bin/env bash
# Compiles the ActionScript 3 test movies with Debian's haxe (a test tool: the movies are
# kept in tests/engine/movies so the tests need no compiler).
set -euo pipefail
cd "$(dirname "$0")/../.."
haxe -cp tools/as3 -swf tests/engine/movies/as3_drawing.swf -main ScriptDrawing -swf-version 10 \
  -swf-header 400:300:30:FFFFFF
haxe -cp tools/as3 -swf build/as3_bench.swf -main SpriteBench -swf-version 10 \
  -swf-header 550:400:30:FFFFFF
haxe -cp tools/as3 -swf tests/engine/movies/as3_edges.swf -main Edges -swf-version 10 \
  -swf-header 100:100:30:FFFFFF
lib=$(mktemp --suffix=.swf)
python3 tools/as3/symbol_library.py "$lib"
haxe -cp tools/as3 -swf tests/engine/movies/as3_symbols.swf -main Symbols -swf-version 10 \
  -swf-header 400:300:30:FFFFFF -swf-lib "$lib"
rm -f "$lib"
haxe -cp tools/as3 -swf tests/engine/movies/as3_text.swf -main ScriptText -swf-version 10 \
  -swf-header 400:300:30:FFFFFF
haxe -cp tools/as3 -swf tests/engine/movies/as3_bitmap.swf -main ScriptBitmap -swf-version 10 \
  -swf-header 400:300:30:FFFFFF
# The sound movie's beep: 0.2 s of 440 Hz, 16-bit mono at 11,025 Hz.
mkdir -p build
python3 - <<'PY'
import math, struct, wave
with wave.open("build/as3_beep.wav", "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(11025)
    w.writeframes(b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * 440 * i / 11025)))
                           for i in range(2205)))
PY
haxe -cp tools/as3 -swf tests/engine/movies/sound/as3_sound.swf -main SoundScript -swf-version 10 \
  -swf-header 100:100:10:FFFFFF
