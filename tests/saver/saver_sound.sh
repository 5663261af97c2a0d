#!/usr/bin/env bash
# The screen saver's sound under Wine: a PulseAudio null sink of the test's own (its own
# runtime folder) records what the saver plays full screen, which must hold the movie's
# 660 Hz tone (and, with "mp3", the 440 Hz MP3 tone the system's codec decodes), and in the
# /p preview, which must be silent.
# Usage: saver_sound.sh TEMPLATE_PREFIX TEST_PREFIX DRIVER.exe SOUND_SAVER.scr pcm|mp3
set -uo pipefail
template=$1 prefix=$2 driver=$3 scr=$4 kinds=${5:-pcm}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pulse_pid=""
cleanup() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/run" && chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse" PULSE_STATE_PATH="$work/state" \
  PULSE_CONFIG_PATH="$work/config" PULSE_SERVER="unix:$work/run/pulse/native"
HOME="$work" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-null-sink sink_name=rec rate=44100 channels=2" -L "module-native-protocol-unix" \
  --log-target=stderr >"$work/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 1 100); do
  HOME="$work" pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
HOME="$work" pactl set-default-sink rec || { cat "$work/pulse.log"; exit 1; }

failed=""
# The saver as Windows names it: Wine's drive Z: is the root.
winscr="Z:$(echo "$scr" | tr / '\\')"
for mode in full preview; do
  HOME="$work" parecord -d rec.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav \
    "$work/$mode.wav" &
  rec=$!
  "$here/../support/wine-run.sh" "$template" "$prefix-$mode" "$driver" "$winscr" "$mode" || failed="$failed $mode"
  sleep 0.5
  kill "$rec" 2>/dev/null
  wait "$rec" 2>/dev/null
done

if [ -n "$failed" ]; then
  echo "FAIL the saver did not run:$failed"
  exit 1
fi
/usr/bin/python3 - "$work" "$kinds" <<'PY'
import sys, wave
import numpy as np
work, kinds, failures = sys.argv[1], sys.argv[2], []
def read(name):
    with wave.open("%s/%s.wav" % (work, name)) as f:
        return np.frombuffer(f.readframes(f.getnframes()), dtype="<i2").reshape(-1, 2).astype(float)
full, preview = read("full"), read("preview")
loud = np.nonzero(np.abs(full[:, 0]) > 1000)[0]
if len(loud) < 44100:
    failures.append("full screen: %d loud samples, not a second's worth" % len(loud))
else:
    seg = full[loud[0]:loud[-1], 0]
    spec = np.abs(np.fft.rfft(seg * np.hanning(len(seg))))
    hz = np.arange(len(spec)) * 44100.0 / len(seg)
    def level(f):  # the strongest bin within 2% of f, against the median
        band = (hz > f * 0.98) & (hz < f * 1.02)
        return np.max(spec[band]) / np.median(spec)
    print("full screen: %.2f s of sound; 660 Hz at %.0fx the median, 440 Hz at %.0fx"
          % (len(loud) / 44100.0, level(660), level(440)))
    if level(660) < 100:
        failures.append("full screen: no 660 Hz tone")
    if kinds == "mp3" and level(440) < 100:
        failures.append("full screen: no 440 Hz MP3 tone (the system's codec)")
peak = np.max(np.abs(preview)) if len(preview) else 0
print("preview: peak %d over %.2f s" % (peak, len(preview) / 44100.0))
if peak > 100:
    failures.append("preview: not silent (peak %d)" % peak)
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures else 0)
PY
