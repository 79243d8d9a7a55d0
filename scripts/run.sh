#!/bin/sh
# Installs what is missing, builds, and starts the viewer on the bundled
# sample pictures. Without a display the viewer runs under Xvfb and a
# screenshot of its window is written to a file whose name is printed.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/install-deps.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
export BUILD_DIR
"$ROOT/scripts/build.sh"
SAMPLE=$(ls "$ROOT"/samples/*.bmp "$ROOT"/samples/*.jpg 2>/dev/null | head -n 1 || true)
if [ -n "${DISPLAY:-}" ]; then
  exec "$BUILD_DIR/app/korvex" $SAMPLE
fi
SHOT=${KORVEX_SCREENSHOT:-$ROOT/korvex-screenshot.png}
"$ROOT/scripts/xvfb-shot.sh" "$SHOT" -- "$BUILD_DIR/app/korvex" $SAMPLE
echo "screenshot: $SHOT"
