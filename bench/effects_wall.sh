#!/bin/sh
# Runs bench/effects_wall on a desktop of its own: Xvfb 1920 x 1080 with
# openbox, an isolated home. Usage: effects_wall.sh BUILD_DIR [DISPLAY_NUMBER]
set -eu
BUILD=$(cd "$1" && pwd)
NUM=${2:-99}
WORK=$(mktemp -d)
Xvfb ":$NUM" -screen 0 1920x1080x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
trap 'kill $OB $XVFB 2>/dev/null; rm -rf "$WORK"' EXIT
sleep 1
DISPLAY=":$NUM" openbox >"$WORK/openbox.log" 2>&1 &
OB=$!
sleep 1
mkdir -p "$WORK/home"
DISPLAY=":$NUM" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" \
    "$BUILD/bench/effects_wall"
