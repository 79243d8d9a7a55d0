#!/bin/sh
# JPEG and GIF against peer tools, whole processes in the same run, on a
# 6000 x 4000 photograph-like picture: medians of repeated runs and ratios
# (ours / peer), the mean squared error of each 256-colour GIF against the
# source, and peak resident memory of a JPEG decode.
#   bench/codecs.sh [BUILD_DIR]      RUNS (default 5), SLOW_RUNS (default 3)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
. "$ROOT/bench/lib.sh"
for tool in djpeg giftopnm /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing peer: $tool (scripts/install-peers.sh)" >&2; exit 1; }
done
[ -x /usr/bin/convert ] || command -v convert >/dev/null 2>&1 || { echo "missing peer: convert" >&2; exit 1; }
if [ ! -x "$BUILD/tools/korvex-convert" ] || [ ! -x "$BUILD/tools/samplegen/korvex-samplegen" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" -j2 --target korvex-convert korvex-samplegen >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
KC="$BUILD/tools/korvex-convert"
RUNS=${RUNS:-5}
SLOW_RUNS=${SLOW_RUNS:-3}

"$BUILD/tools/samplegen/korvex-samplegen" 6000 4000 "$WORK/in.bmp"
"$KC" "$WORK/in.bmp" "$WORK/in.jpg"
"$KC" "$WORK/in.bmp" "$WORK/in.gif"

# Mean squared error per channel sample on the 0..255 scale: ImageMagick's
# normalised figure times 255^2.
mse() {
  n=$(compare_im -metric MSE "$1" "$2" null: 2>&1 | sed -n 's/.*(\([0-9.e+-]*\)).*/\1/p')
  awk -v n="$n" 'BEGIN { printf "%.1f", n * 65025 }'
}
compare_im() {
  if [ -x /usr/bin/compare ]; then /usr/bin/compare "$@"; else compare "$@"; fi
}
peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}

row() { printf '%-30s %8s  %-22s %8s %6s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }
printf 'inputs: %s (%s bytes JPEG at quality 75, %s bytes GIF)\n' "6000x4000" \
  "$(wc -c <"$WORK/in.jpg")" "$(wc -c <"$WORK/in.gif")"
printf '%-30s %8s  %-22s %8s %6s\n' workload "ours ms" peer "peer ms" ratio

jd=$(median_ms "$RUNS" "$KC" "$WORK/in.jpg" "$WORK/j.bmp")
row "JPEG -> BMP" "$jd" "djpeg -bmp" "$(median_ms "$RUNS" djpeg -bmp -outfile "$WORK/dj.bmp" "$WORK/in.jpg")"

gd=$(median_ms "$RUNS" "$KC" "$WORK/in.gif" "$WORK/g.bmp")
row "GIF -> BMP" "$gd" "giftopnm" "$(median_ms "$RUNS" sh -c "giftopnm '$WORK/in.gif' > '$WORK/g.ppm'")"
row "GIF -> BMP" "$gd" "convert (IM)" "$(median_ms "$RUNS" imagemagick "$WORK/in.gif" "$WORK/im.bmp")"

ge=$(median_ms "$SLOW_RUNS" "$KC" "$WORK/in.bmp" "$WORK/ours.gif")
row "BMP -> 256-colour GIF" "$ge" "convert -colors 256" \
  "$(median_ms "$SLOW_RUNS" imagemagick "$WORK/in.bmp" -colors 256 "$WORK/im.gif")"
printf 'GIF mean squared error vs source: ours %s, convert -colors 256 %s\n' \
  "$(mse "$WORK/in.bmp" "$WORK/ours.gif")" "$(mse "$WORK/in.bmp" "$WORK/im.gif")"

ours_kb=$(peak_kb "$KC" "$WORK/in.jpg" "$WORK/j.bmp")
djpeg_kb=$(peak_kb djpeg -bmp -outfile "$WORK/dj.bmp" "$WORK/in.jpg")
printf 'peak RSS JPEG -> BMP: ours %s MB, djpeg %s MB (ratio %s)\n' "$((ours_kb / 1024))" "$((djpeg_kb / 1024))" \
  "$(ratio "$ours_kb" "$djpeg_kb")"
