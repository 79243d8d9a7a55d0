#!/bin/sh
# Whole-process comparison against peer tools in one run: medians of
# repeated runs, printed as a table (workload, ours, peer, ratio).
# Covers only the BMP workloads for now; the other formats join as their
# writers land. Exits non-zero when a peer is missing.
#   bench/compare.sh [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
. "$ROOT/bench/lib.sh"
for tool in cp bmptoppm; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing peer: $tool" >&2; exit 1; }
done
[ -x /usr/bin/convert ] || command -v convert >/dev/null 2>&1 || { echo "missing peer: convert" >&2; exit 1; }
if [ ! -x "$BUILD/tools/korvex-convert" ] || [ ! -x "$BUILD/tools/samplegen/korvex-samplegen" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" -j2 --target korvex-convert korvex-samplegen >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/tools/samplegen/korvex-samplegen" 6000 4000 "$WORK/in.bmp"
RUNS=${RUNS:-7}
KC="$BUILD/tools/korvex-convert"

row() { printf '%-34s %8s %-16s %8s %6s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

printf '%-34s %8s %-16s %8s %6s\n' workload "ours ms" peer "peer ms" ratio
info=$(median_ms "$RUNS" "$KC" --info "$WORK/in.bmp")
row "--info 6000x4000 BMP" "$info" "cp" "$(median_ms "$RUNS" cp "$WORK/in.bmp" "$WORK/c.bmp")"
dec=$(median_ms "$RUNS" "$KC" "$WORK/in.bmp" "$WORK/out.bmp")
row "BMP decode+write 6000x4000" "$dec" "convert (IM)" "$(median_ms "$RUNS" imagemagick "$WORK/in.bmp" "$WORK/im.bmp")"
row "BMP decode+write 6000x4000" "$dec" "bmptoppm" "$(median_ms "$RUNS" sh -c "bmptoppm '$WORK/in.bmp' > '$WORK/n.ppm'")"
