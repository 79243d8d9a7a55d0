#!/bin/sh
# PCX and TGA decode and encode on a 6000 x 4000 photograph-like picture,
# whole processes against netpbm and ImageMagick in the same run.
#   bench/pcx_tga.sh [BUILD_DIR]
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
"$BUILD/tools/samplegen/korvex-samplegen" 6000 4000 "$W/in.bmp"
"$KC" "$W/in.bmp" "$W/raw.tga"
bmptoppm "$W/in.bmp" > "$W/in.ppm" 2>/dev/null
ppmtopcx -24bit "$W/in.ppm" > "$W/in24.pcx" 2>/dev/null
ppmtotga -rgb "$W/in.ppm" > "$W/rle.tga" 2>/dev/null
RUNS=${RUNS:-5}
row() { # name ours peer1name peer1 peer2name peer2
  printf '%-28s ours %6s ms | %-10s %6s ms (%s) | %-10s %6s ms (%s)\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")" "$5" "$6" "$(ratio "$2" "$6")"
}
echo "median of $RUNS runs; (ratio) = ours / peer"
o=$(median_ms "$RUNS" "$KC" "$W/in24.pcx" "$W/o.bmp")
p=$(median_ms "$RUNS" sh -c "pcxtoppm '$W/in24.pcx' > '$W/o.ppm'")
i=$(median_ms "$RUNS" imagemagick "$W/in24.pcx" "$W/o2.bmp")
row "decode 24-bit PCX" "$o" pcxtoppm "$p" convert "$i"
o=$(median_ms "$RUNS" "$KC" "$W/raw.tga" "$W/o.bmp")
p=$(median_ms "$RUNS" sh -c "tgatoppm '$W/raw.tga' > '$W/o.ppm'")
i=$(median_ms "$RUNS" imagemagick "$W/raw.tga" "$W/o2.bmp")
row "decode raw TGA" "$o" tgatoppm "$p" convert "$i"
c=$(median_ms "$RUNS" cp "$W/raw.tga" "$W/copy.tga")
echo "  raw TGA decode against cp of the same file: $(ratio "$o" "$c") (cp $c ms)"
o=$(median_ms "$RUNS" "$KC" "$W/rle.tga" "$W/o.bmp")
p=$(median_ms "$RUNS" sh -c "tgatoppm '$W/rle.tga' > '$W/o.ppm'")
i=$(median_ms "$RUNS" imagemagick "$W/rle.tga" "$W/o2.bmp")
row "decode RLE TGA" "$o" tgatoppm "$p" convert "$i"
o=$(median_ms "$RUNS" "$KC" "$W/in.bmp" "$W/w.tga")
p=$(median_ms "$RUNS" sh -c "ppmtotga -rgb -norle '$W/in.ppm' > '$W/w2.tga'")
i=$(median_ms "$RUNS" imagemagick "$W/in.bmp" "$W/w3.tga")
row "write TGA from BMP" "$o" ppmtotga "$p" convert "$i"
o=$(median_ms "$RUNS" "$KC" "$W/in.bmp" "$W/w.pcx")
p=$(median_ms "$RUNS" sh -c "pnmquant 256 '$W/in.ppm' | ppmtopcx > '$W/w2.pcx'")
i=$(median_ms "$RUNS" imagemagick "$W/in.bmp" -colors 256 "$W/w3.pcx")
row "write 8-bit PCX from BMP" "$o" "pnmquant|ppmtopcx" "$p" convert "$i"
