#!/usr/bin/env bash
# A benchmark, not a test: live runs with the delay, the reverb and the
# equalizer running,
#   - through a private JACK server (jackd2's dummy driver, 48000 Hz) at
#     periods of 64, 128 and 256 frames, with the server and its clients on
#     real-time scheduling (jackd -R, as musicians run it; needs the
#     privilege) and without it (--no-realtime, as the tests run it), and
#   - through the ALSA path and a private PulseAudio at the smallest setting
#     that plays without underruns there (44100 Hz, 6 buffers of 2048 bytes),
# each for SECONDS (default 600). For each run it prints the latency the
# renderer reports, the xruns (JACK: late periods counted through the
# client's xrun callback; ALSA: underruns and overruns), the renderer's CPU
# time per second of sound, and the machine's load while it ran.
#
#   scripts/bench_jack.sh BUILD_FOLDER [SECONDS] [PERIODS...]
set -euo pipefail

BUILD=${1:-build}
RUN_SECONDS=${2:-600}
shift $(($# > 1 ? 2 : $#))
PERIODS=("$@")
if ((${#PERIODS[@]} == 0)); then
  PERIODS=(64 128 256)
fi
RENDER=$(realpath "$BUILD/tonalith-render")
EFFECTS=(--effect delay:delayMs=20 --effect reverb --effect "eq:gains=6;-6;3;0;-12")
FOLDER=$(mktemp -d /tmp/tonalith-bench-XXXXXX)
chmod 700 "$FOLDER"

# Samples the load average every 30 s into $1 until killed.
sample_load() {
  while true; do
    cut -d' ' -f1-3 /proc/loadavg >>"$1"
    sleep 30
  done
}

# "min/mean/max" of the 1-minute load averages in $1.
load_summary() {
  awk '{ n++; s += $1; if (n == 1 || $1 < lo) lo = $1; if ($1 > hi) hi = $1 }
       END { if (n) printf "%.1f/%.1f/%.1f", lo, s / n, hi; else printf "-" }' "$1"
}

# Runs the renderer with "$@" for RUN_SECONDS under /usr/bin/time; prints
# "cpu-seconds" and leaves its stderr in $LOG.
timed_render() {
  /usr/bin/time -f "%U %S" -o "$FOLDER/time" "$RENDER" "${EFFECTS[@]}" --seconds "$RUN_SECONDS" \
    "$@" 2>"$LOG" || true
  awk '{ print $1 + $2 }' "$FOLDER/time"
}

printf "%-30s %-10s %-8s %-14s %-16s %s\n" "run" "latency" "xruns" "CPU ms/s sound" \
  "jackd CPU ms/s" "load min/mean/max"

MODES=${MODES:-"realtime no-realtime"}
for mode in $MODES; do
for period in "${PERIODS[@]}"; do
  name="tonalith-bench-$$-$mode-$period"
  scheduling=(--no-realtime)
  if [[ $mode == realtime ]]; then
    scheduling=(--realtime -P 70)
  fi
  JACK_NO_AUDIO_RESERVATION=1 HOME="$FOLDER" jackd "${scheduling[@]}" -n "$name" -d dummy \
    -r 48000 -p "$period" >"$FOLDER/jackd-$period.log" 2>&1 &
  jackd_pid=$!
  for _ in $(seq 100); do
    JACK_DEFAULT_SERVER="$name" "$RENDER" --driver jack --list-devices >/dev/null 2>&1 && break
    sleep 0.1
  done
  LOG="$FOLDER/render-$period.log"
  rm -f "$FOLDER/load-$period"
  sample_load "$FOLDER/load-$period" &
  sampler=$!
  cpu=$(JACK_DEFAULT_SERVER="$name" timed_render --driver jack --input-device 0 --output-device 0)
  kill "$sampler"
  ticks=$(awk '{ print $14 + $15 }' "/proc/$jackd_pid/stat")
  kill "$jackd_pid"
  wait "$jackd_pid" 2>/dev/null || true
  latency=$(grep -o 'latency [0-9.]* ms' "$LOG" | head -1 | cut -d' ' -f2)
  xruns=$(grep -o '[0-9]* xruns' "$LOG" | cut -d' ' -f1 || true)
  printf "%-30s %-10s %-8s %-14.2f %-16.2f %s\n" "JACK $mode, period $period" "${latency} ms" \
    "${xruns:-0}" "$(echo "$cpu * 1000 / $RUN_SECONDS" | bc -l)" \
    "$(echo "$ticks * 1000 / $(getconf CLK_TCK) / $RUN_SECONDS" | bc -l)" \
    "$(load_summary "$FOLDER/load-$period")"
done
done

# The ALSA path: a private PulseAudio with two null sinks; the run records the
# first sink's monitor and plays into the second.
export XDG_RUNTIME_DIR="$FOLDER/pulse"
mkdir -m 700 "$XDG_RUNTIME_DIR"
HOME="$FOLDER" pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
  --load="module-null-sink sink_name=tsink rate=44100 format=s16le channels=2" \
  --load="module-null-sink sink_name=tsink2 rate=44100 format=s16le channels=2" \
  --load=module-native-protocol-unix >/dev/null 2>&1
keep=()
for sink in tsink tsink2; do
  PULSE_SINK=$sink pacat --playback --latency-msec=10 --format=s16le --rate=44100 --channels=2 \
    /dev/zero >/dev/null 2>&1 &
  keep+=($!)
done
sleep 2.5
LOG="$FOLDER/render-alsa.log"
sample_load "$FOLDER/load-alsa" &
sampler=$!
cpu=$(PULSE_SOURCE=tsink.monitor PULSE_SINK=tsink2 timed_render --rate 44100 --buffers 6 \
  --block 2048 --input-device 0 --output-device 0)
kill "$sampler"
kill "${keep[@]}" 2>/dev/null || true
kill "$(cat "$XDG_RUNTIME_DIR/pulse/pid")" 2>/dev/null || true
latency=$(grep -o 'latency [0-9.]* ms' "$LOG" | head -1 | cut -d' ' -f2)
xruns=$(grep -o '[0-9]* underruns or overruns' "$LOG" | cut -d' ' -f1 || true)
printf "%-30s %-10s %-8s %-14.2f %-16s %s\n" "ALSA 44100 Hz, 6 x 2048 B" "${latency} ms" \
  "${xruns:-0}" "$(echo "$cpu * 1000 / $RUN_SECONDS" | bc -l)" "-" \
  "$(load_summary "$FOLDER/load-alsa")"
sleep 0.5
rm -rf "$FOLDER"
