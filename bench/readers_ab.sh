#!/bin/sh
# Decode and encode of BMP, TGA, PCX and GIF by two builds of korvex-convert
# on the same 6000 x 4000 photograph-like picture in the same run: medians
# and the ratio after / before. For checking that a change to
# the readers and writers costs no speed.
#   bench/readers_ab.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR     RUNS (default 5)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/bench/lib.sh"
BEFORE=$1/tools/korvex-convert
AFTER=$2/tools/korvex-convert
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
RUNS=${RUNS:-5}
"$2/tools/samplegen/korvex-samplegen" 6000 4000 "$W/in.bmp"
for ext in tga pcx gif; do "$BEFORE" "$W/in.bmp" "$W/in.$ext"; done
printf '%-22s %10s %10s %7s\n' workload "before ms" "after ms" ratio
for ext in bmp tga pcx gif; do
  b=$(median_ms "$RUNS" "$BEFORE" "$W/in.$ext" "$W/b.bmp")
  a=$(median_ms "$RUNS" "$AFTER" "$W/in.$ext" "$W/a.bmp")
  printf '%-22s %10s %10s %7s\n' "decode $ext" "$b" "$a" "$(ratio "$a" "$b")"
done
for ext in bmp tga pcx gif; do
  b=$(median_ms "$RUNS" "$BEFORE" "$W/in.bmp" "$W/b.$ext")
  a=$(median_ms "$RUNS" "$AFTER" "$W/in.bmp" "$W/a.$ext")
  printf '%-22s %10s %10s %7s\n' "encode $ext" "$b" "$a" "$(ratio "$a" "$b")"
done
