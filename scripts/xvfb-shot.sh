#!/bin/sh
# Runs a program under a private Xvfb server, waits, and writes a screenshot
# of the whole screen.  Usage: xvfb-shot.sh OUT.png [SECONDS] -- program args...
set -eu
OUT=$1; shift
WAIT=4
if [ "$1" != "--" ]; then WAIT=$1; shift; fi
shift # the --
SCREEN=${KORVEX_SCREEN:-1280x800x24}
DISP=:$(( 90 + $$ % 100 ))
Xvfb "$DISP" -screen 0 "$SCREEN" -nolisten tcp >/dev/null 2>&1 &
XPID=$!
trap 'kill $APID 2>/dev/null || true; kill $XPID 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$DISP "$@" &
APID=$!
sleep "$WAIT"
DISPLAY=$DISP import -window root "$OUT"
