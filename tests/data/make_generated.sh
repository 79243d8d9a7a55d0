#!/bin/sh
# Writes the generator-made part of the regression corpus: one small
# photograph-like picture of odd size (rows need padding) in every format
# and depth the writers produce.   make_generated.sh BUILD_DIR
set -eu
B=$1
cd "$(dirname "$0")"
"$B/tools/samplegen/korvex-samplegen" 37 23 gen-photo-37x23.bmp 5
"$B/tools/samplegen/korvex-samplegen" --eight 29 17 gen-eight-29x17.bmp 6
for ext in tga pcx jpg gif; do
    "$B/tools/korvex-convert" gen-photo-37x23.bmp gen-photo-37x23.$ext
done
"$B/tools/korvex-convert" gen-eight-29x17.bmp gen-eight-29x17.tga
