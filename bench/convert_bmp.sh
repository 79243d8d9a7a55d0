#!/bin/sh
# korvex-convert of a 6000 x 4000 24-bit BMP to BMP, against cp of the same
# file and ImageMagick's convert, whole processes in the same run.
#   bench/convert_bmp.sh [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
. "$ROOT/bench/lib.sh"
if [ ! -x "$BUILD/tools/korvex-convert" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" -j"$(nproc)" --target korvex-convert korvex-samplegen >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/tools/samplegen/korvex-samplegen" 6000 4000 "$WORK/in.bmp"
RUNS=${RUNS:-7}
ours=$(median_ms "$RUNS" "$BUILD/tools/korvex-convert" "$WORK/in.bmp" "$WORK/out.bmp")
copy=$(median_ms "$RUNS" cp "$WORK/in.bmp" "$WORK/copy.bmp")
im=$(median_ms "$RUNS" imagemagick "$WORK/in.bmp" "$WORK/im.bmp")
echo "workload: 6000x4000 24-bit BMP -> BMP (median of $RUNS, ms)"
echo "korvex-convert  $ours"
echo "cp              $copy   (ours/cp = $(ratio "$ours" "$copy"))"
echo "convert (IM)    $im   (ours/IM = $(ratio "$ours" "$im"))"
