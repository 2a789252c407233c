#!/usr/bin/env bash
# Renders every page of the desktop program (and the effect choice dialog) to
# PNG files in docs/screenshots/, on Qt's offscreen platform with the
# simulated sound devices. Usage: scripts/screenshots.sh [build folder]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build}
[[ "$BUILD" = /* ]] || BUILD="$ROOT/$BUILD"
OUT="$ROOT/docs/screenshots"
TOOL="$BUILD/tests/screenshots_test"

cmake --build "$BUILD" --target screenshots_test >/dev/null
mkdir -p "$OUT"
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"

# A neutral home folder, so the default file entry reads /home/user/test.wav.
HOME=/home/user XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen \
  TONALITH_WAVE_BACKEND=simulated TONALITH_SCREENSHOT_DIR="$OUT" \
  "$TOOL" -silent
echo "screenshots: $(ls "$OUT"/*.png | wc -l) pictures in ${OUT#"$ROOT"/}"
