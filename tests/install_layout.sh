#!/bin/sh
# Stages an install of the build and checks that every file a desktop needs
# lands where it looks for it.
set -eu
BUILD=$1
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
cmake --install "$BUILD" --prefix "$STAGE" >/dev/null
for f in bin/korvex bin/nubrel bin/korvex-convert \
         share/applications/org.korvex.Korvex.desktop \
         share/metainfo/org.korvex.Korvex.metainfo.xml \
         share/icons/hicolor/48x48/apps/korvex.png \
         share/icons/hicolor/scalable/apps/korvex.svg \
         share/man/man1/korvex.1; do
    if [ ! -s "$STAGE/$f" ]; then
        echo "missing after install: $f" >&2
        exit 1
    fi
done
# The print module is loaded from the library folder beside bin/.
ls "$STAGE"/lib*/korvex/korvex-print.so "$STAGE"/lib/*/korvex/korvex-print.so 2>/dev/null | grep -q . ||
    { echo "missing after install: the print module korvex-print.so" >&2; exit 1; }
# The theme icon is a real 48 x 48 PNG.
head -c 24 "$STAGE/share/icons/hicolor/48x48/apps/korvex.png" | od -An -tx1 | tr -d ' \n' |
    grep -q '^89504e470d0a1a0a0000000d4948445200000030' || { echo "korvex.png is not a 48 x 48 PNG" >&2; exit 1; }
echo "install layout ok"
