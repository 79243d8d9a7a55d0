#!/bin/sh
# Installs the peer programs bench/compare.sh measures against (on top of
# what building and testing need).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
"$HERE/install-deps.sh"
exec "$HERE/apt-install.sh" gifsicle libvips-tools feh eog gwenview hyperfine
