#!/usr/bin/env bash
# `make run`: starts the desktop program from the build folder given as $1.
set -euo pipefail

BUILD=${1:-build}
APP="$BUILD/tonalith"

if [[ ! -x "$APP" ]]; then
  echo "run: $APP is not built" >&2
  exit 1
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run: no display; start it from a desktop session (or set QT_QPA_PLATFORM)" >&2
  exit 1
fi
exec "$APP"
