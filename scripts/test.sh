#!/usr/bin/env bash
# Every test: set-up, both builds, the unit and program tests of the native build, the same
# tests of the Windows build under Wine, and the checks that compare the two; then the native
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, a short run of every
# fuzz target, the release packages with their own checks, and the demo (the README's main
# job) run headless.
#   ZT_FUZZ_SECONDS  seconds per fuzz target (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh all
jobs=$(nproc)
status=0
step() { echo; echo "== $*"; }
step "Windows build under Wine"
ctest --test-dir build/windows --output-on-failure -j "$jobs" || status=1
step "native build"
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
if [ -f build/wineprefix/.zt_ready ]; then
  WINEPREFIX=$PWD/build/wineprefix wineserver -k 2>/dev/null || true
fi
step "native build under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build build/native-asan -j "$jobs"
ctest --test-dir build/native-asan --output-on-failure -j "$jobs" || status=1
step "fuzz targets, ${ZT_FUZZ_SECONDS:-30} s each"
scripts/fuzz.sh "${ZT_FUZZ_SECONDS:-30}" || status=1
step "release packages"
ZT_PACKAGE_NO_BUILD=1 scripts/package.sh || status=1
step "the main job: scripts/demo.sh, headless"
(unset DISPLAY; ZT_DEMO_NO_BUILD=1 scripts/demo.sh build/demo-check >/dev/null) || status=1
exit $status
