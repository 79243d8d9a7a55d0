#!/bin/sh
# Installs what is missing, builds, and runs every test.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/install-deps.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
export BUILD_DIR
"$ROOT/scripts/build.sh"
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" --timeout 600
