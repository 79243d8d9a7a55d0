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

# The core suites and the fuzz corpus runs again under address and
# undefined-behaviour sanitizers (no Qt: the core is where file data is
# parsed). A few minutes on two cores; KORVEX_NO_SANITIZE=1 skips it.
if [ -z "${KORVEX_NO_SANITIZE:-}" ]; then
  SAN_DIR=${SAN_BUILD_DIR:-$ROOT/build-sanitize}
  cmake -S "$ROOT" -B "$SAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DKORVEX_BUILD_GUI=OFF -DKORVEX_SANITIZE=ON >/dev/null
  cmake --build "$SAN_DIR" -j"$(nproc)"
  cd "$SAN_DIR"
  ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)" --timeout 600
fi
