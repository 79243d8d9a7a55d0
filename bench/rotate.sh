#!/bin/sh
# A quarter turn of a 6000 x 4000 1-bit picture, whole processes in the same
# run: korvex-convert --rotate 90 of the BMP against netpbm's pamflip -r90 of
# the same picture as PBM (both read, turn and write the file).
#   bench/rotate.sh [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
. "$ROOT/bench/lib.sh"
if [ ! -x "$BUILD/tools/korvex-convert" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" -j"$(nproc)" --target korvex-convert korvex-samplegen >/dev/null
fi
KC=$BUILD/tools/korvex-convert
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
"$BUILD/tools/samplegen/korvex-samplegen" 6000 4000 "$W/photo.bmp"
bmptopnm "$W/photo.bmp" 2>/dev/null | ppmtopgm | pamthreshold 2>/dev/null | pamtopnm > "$W/in.pbm"
ppmtobmp -bpp=1 "$W/in.pbm" > "$W/in.bmp" 2>/dev/null
# Same pixels both ways, or the comparison means nothing.
"$KC" --rotate 90 "$W/in.bmp" "$W/check.bmp"
bmptopnm "$W/check.bmp" 2>/dev/null | pamtopnm > "$W/ours.pbm"
pamflip -cw "$W/in.pbm" > "$W/theirs.pbm"
cmp -s "$W/ours.pbm" "$W/theirs.pbm" || { echo "korvex-convert and pamflip -cw disagree" >&2; exit 1; }
RUNS=${RUNS:-7}
ours=$(median_ms "$RUNS" "$KC" --rotate 90 "$W/in.bmp" "$W/out.bmp")
flip=$(median_ms "$RUNS" sh -c "pamflip -r90 '$W/in.pbm' > '$W/out.pbm'")
copy=$(median_ms "$RUNS" "$KC" "$W/in.bmp" "$W/plain.bmp")
echo "workload: 6000x4000 1-bit, a quarter turn (median of $RUNS, ms)"
echo "korvex-convert --rotate 90   $ours"
echo "pamflip -r90                 $flip   (ours/pamflip = $(ratio "$ours" "$flip"))"
echo "korvex-convert (no turn)     $copy   (turn costs $((ours - copy)) ms)"
