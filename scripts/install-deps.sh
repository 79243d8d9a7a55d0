#!/bin/sh
# Installs what building and testing Korvex needs on Debian 12, skipping
# packages that are already there. The peer programs that only the
# comparison in bench/ measures against come from scripts/install-peers.sh.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
# build and libraries
PACKAGES="build-essential cmake pkg-config ccache qt6-base-dev qt6-base-dev-tools libqt6printsupport6
qt6-translations-l10n qt6-wayland libjpeg62-turbo-dev libspng-dev libwebp-dev libexif-dev liblcms2-dev
libglib2.0-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-wqy-microhei clang libclang-rt-14-dev"
# tests: peer readers for cross-checks, the end-to-end suite's X server,
# window manager, Wayland compositor and driving tools, and a PDF rasteriser
# for what the viewer prints to a file
PACKAGES="$PACKAGES libjpeg-turbo-progs imagemagick netpbm webp liblcms2-utils giflib-tools time
desktop-file-utils appstream python3 xvfb xauth x11-apps x11-utils xdotool openbox weston poppler-utils"
exec "$HERE/apt-install.sh" $PACKAGES
