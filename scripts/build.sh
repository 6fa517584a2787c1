#!/usr/bin/env bash
# Builds the native (Linux) and the Windows (mingw-w64) trees: scripts/build.sh [native|windows|all]
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
jobs=$(nproc)
if [ "$what" = native ] || [ "$what" = all ]; then
  cmake --preset native -DZT_WINDOWS_BUILD_DIR="$PWD/build/windows" >/dev/null
  cmake --build build/native -j "$jobs"
fi
if [ "$what" = windows ] || [ "$what" = all ]; then
  cmake --preset windows >/dev/null
  cmake --build build/windows -j "$jobs"
fi
