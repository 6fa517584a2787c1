#!/usr/bin/env bash
# The native zt615 and the Windows zt615.exe (run under Wine) must export the same logged
# files to the same bytes, in every format and time zone.
#   cross_export.sh NATIVE_ZT615 LOGGER_SIM WINDOWS_BUILD_DIR WINE_RUN
# Skipped (exit 77) without a Windows build or Wine (see cross_setup.sh).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/cross_setup.sh"

# Files of several ranges, a summer series that crosses a minute, a year end, an override of
# the header's sound speed, threshold and deadzone, and a cut-off record at the end.
"$sim" record A.BIN --range 10 --pings 300 --seed 3 --quiet || exit 1
"$sim" record B.BIN --range 1 --pings 200 --start 2026-07-04T15:59:50.125Z --period 0.25 \
  --series 7 --interval 30 --offset 0.5 --seed 4 --quiet || exit 1
"$sim" record C.BIN --range 100 --pings 20 --start 2026-12-31T23:59:58Z --sound-speed 1520 \
  --threshold 15 --deadzone 1.2 --trailing 1000 --seed 5 --quiet || exit 1

failures=0
compared=0
run_pair() {  # TZ FILE FORMAT [OPTIONS...]
  local tz=$1 file=$2 fmt=$3
  shift 3
  rm -f native.log windows.log
  if ! TZ=$tz "$native" export "$file" native.log --format "$fmt" --quiet "$@"; then
    echo "FAIL: native export of $file ($fmt, TZ=$tz $*) failed"
    failures=$((failures + 1))
    return
  fi
  if ! TZ=$tz "$wine_run" "$exe" export "$file" windows.log --format "$fmt" --quiet "$@"; then
    echo "FAIL: Windows export of $file ($fmt, TZ=$tz $*) failed"
    failures=$((failures + 1))
    return
  fi
  compared=$((compared + 1))
  if cmp native.log windows.log; then
    echo "same: $file $fmt TZ=$tz $* ($(wc -c <native.log) bytes)"
  else
    echo "FAIL: $file $fmt TZ=$tz $*: native and Windows outputs differ"
    failures=$((failures + 1))
  fi
}

for tz in UTC Asia/Kolkata America/New_York; do
  for file in A.BIN B.BIN C.BIN; do
    for fmt in text nmea csv; do
      run_pair "$tz" "$file" "$fmt"
    done
  done
  run_pair "$tz" B.BIN csv --threshold 20 --sound-speed 1480 --deadzone 0.05 --amplitude-over 50
done

# Quarter- and half-hour zones and a southern-hemisphere zone, on the file that crosses
# midnight local time in some of them.
for tz in Asia/Kathmandu America/St_Johns Australia/Adelaide; do
  for fmt in text nmea csv; do
    run_pair "$tz" B.BIN "$fmt"
  done
done

# The zone really reached both programs: the ZDA zone fields of the last run's zone.
run_pair America/New_York B.BIN nmea
if ! grep -q ',-5,00\*' windows.log; then
  echo "FAIL: the Windows export did not see TZ=America/New_York (no -5,00 zone in ZDA)"
  failures=$((failures + 1))
fi

echo "$compared comparisons, $failures failures"
[ "$failures" -eq 0 ]
