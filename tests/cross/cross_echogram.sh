#!/usr/bin/env bash
# The native zt615 and the Windows zt615.exe (run under Wine) must draw the same echogram:
# the PNGs of both, written by the same encoder, are compared byte for byte.
#   cross_echogram.sh NATIVE_ZT615 LOGGER_SIM WINDOWS_BUILD_DIR WINE_RUN
# Skipped (exit 77) without a Windows build or Wine (see cross_setup.sh).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/cross_setup.sh"

"$sim" record A.BIN --range 10 --pings 3000 --interval 2 --seed 3 --quiet || exit 1
"$sim" record B.BIN --range 100 --pings 300 --start 2026-12-31T23:59:58Z --seed 5 --quiet || exit 1

failures=0
compared=0
run_pair() {  # FILE [OPTIONS...]
  local file=$1
  shift
  rm -f native.png windows.png
  if ! "$native" echogram "$file" native.png "$@" || ! "$wine_run" "$exe" echogram "$file" windows.png "$@"; then
    echo "FAIL: echogram of $file ($*) failed"
    failures=$((failures + 1))
    return
  fi
  compared=$((compared + 1))
  if cmp -s native.png windows.png; then
    echo "same: $file $*"
  else
    echo "FAIL: $file $*: native and Windows images differ"
    failures=$((failures + 1))
  fi
}

run_pair A.BIN
run_pair B.BIN --width 333 --height 222 --max-altitude 37.5
for gamma in 1.0 0.9 0.7 0.5 0.3; do
  run_pair A.BIN --palette yellow --gamma "$gamma" --width 640 --height 480 --max-altitude 20
done
run_pair A.BIN --begin 1780272100 --end 1780272500 --width 800 --height 300

echo "$compared comparisons, $failures failures"
[ "$failures" -eq 0 ]
