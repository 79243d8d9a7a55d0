#!/bin/sh
# Installs what building and testing Korvex needs on Debian 12, and the peer
# programs bench/compare.sh measures against, skipping packages that are
# already there.
set -eu
PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libqt6printsupport6
libjpeg62-turbo-dev libjpeg-turbo-progs libgtest-dev libgmock-dev libbenchmark-dev fonts-wqy-microhei xvfb xauth x11-apps
imagemagick netpbm time desktop-file-utils appstream clang libclang-rt-14-dev
gifsicle giflib-tools libvips-tools feh xdotool x11-utils"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
