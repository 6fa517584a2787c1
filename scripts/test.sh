#!/usr/bin/env bash
# Every test: set-up, both builds, the unit and program tests of the native build, the same
# tests of the Windows build under Wine, and the checks that compare the two.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh all
jobs=$(nproc)
status=0
ctest --test-dir build/windows --output-on-failure -j "$jobs" || status=1
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
if [ -f build/wineprefix/.zt_ready ]; then
  WINEPREFIX=$PWD/build/wineprefix wineserver -k 2>/dev/null || true
fi
exit $status
