#!/usr/bin/env bash
# `make run`: starts the desktop program from the build folder given as $1.
# While only the command-line renderer is built, it renders a generated demo
# tone through tonalith-render instead and says where the result is.
set -euo pipefail

BUILD=${1:-build}
APP="$BUILD/tonalith"
RENDER="$BUILD/tonalith-render"

# The desktop program proper carries its sheet class (moc metadata) or its
# window caption; a stand-in binary carries neither.
if [[ -x "$APP" ]] && grep -qaE 'EffectsSheet|Tonalith V1\.00' "$APP"; then
  exec "$APP"
fi

if [[ ! -x "$RENDER" ]]; then
  echo "run: $RENDER is not built" >&2
  exit 1
fi

DEMO="$BUILD/demo"
mkdir -p "$DEMO"
TONE="$DEMO/demo-tone.wav"
RESULT="$DEMO/demo-rendered.wav"

# Three seconds of 44.1 kHz 16-bit stereo: an A major chord on the left, a
# plucked 220 Hz tone on the right, both fading out.
if command -v sox >/dev/null; then
  sox -q -n -r 44100 -c 1 -b 16 "$DEMO/left.wav" synth 3 sine 440 sine 554.37 sine 659.25 \
    remix - gain -n -6 fade 0 3 1
  sox -q -n -r 44100 -c 1 -b 16 "$DEMO/right.wav" synth 3 pluck 220 gain -n -6 fade 0 3 1
  sox -q -M "$DEMO/left.wav" "$DEMO/right.wav" "$TONE"
  rm -f "$DEMO/left.wav" "$DEMO/right.wav"
else
  python3 - "$TONE" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 3
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    frames = bytearray()
    for n in range(rate * seconds):
        fade = 1 - n / (rate * seconds)
        left = sum(math.sin(2 * math.pi * f * n / rate) for f in (440, 554.37, 659.25)) / 3
        right = math.sin(2 * math.pi * 220 * n / rate) * math.exp(-3 * n / rate)
        frames += struct.pack("<hh", int(16000 * fade * left), int(16000 * right))
    w.writeframes(bytes(frames))
PY
fi

# An audible effect when the renderer has one, none otherwise.
EFFECTS=()
KNOWN=$("$RENDER" --list-effects)
if grep -qx 'delay' <<<"$KNOWN"; then
  EFFECTS=(--effect "delay:delayMs=80")
fi

"$RENDER" "${EFFECTS[@]}" "$TONE" "$RESULT"
echo "Demo tone:     $(realpath "$TONE")"
echo "Rendered with: tonalith-render ${EFFECTS[*]:-(no effects)}"
echo "Result:        $(realpath "$RESULT")"
