#!/usr/bin/env bash
# Builds the libFuzzer targets (build/fuzz, clang, ZT_FUZZ=ON), writes their seeds and runs
# each for SECONDS: scripts/fuzz.sh [SECONDS]   (default 60; needs scripts/setup.sh first)
# One line per target with its runs and crashes. Crash inputs go to tests/fuzz/crashes/;
# each target's corpus grows under build/fuzz/corpus/ from run to run. Exit 1 when a target
# crashed (a sanitizer report, a leak, a time-out, too much memory) or the build failed.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
case $seconds in '' | *[!0-9]*) seconds=0 ;; esac
if [ $((10#$seconds)) -lt 1 ]; then echo "usage: scripts/fuzz.sh [SECONDS] (1 or more)" >&2; exit 2; fi

build=build/fuzz
crashes=tests/fuzz/crashes
mkdir -p "$build" "$crashes"
if ! { cmake --preset fuzz && cmake --build "$build" -j "$(nproc)" --target zt_fuzz; } \
     >"$build/fuzz-build.log" 2>&1; then
  tail -n 30 "$build/fuzz-build.log"
  echo "fuzz: the build failed (log: $build/fuzz-build.log)"
  exit 1
fi
rm -rf "$build/seeds"
"$build/tests/fuzz/fuzz_seeds" "$build/seeds" || { echo "fuzz: no seeds"; exit 1; }

# The files each input becomes live here and go after every target, whatever happened.
export TMPDIR=$PWD/$build/tmp
# Local times with a half-hour offset west of UTC and daylight saving.
export TZ=America/St_Johns
# Undefined behaviour ends the run as a crash, as a sanitizer error does.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/logs"

status=0
# target  largest input in bytes
for entry in fuzz_logged_file:8192 fuzz_device_reply:1024 fuzz_timers:4200 fuzz_link:8192 \
             fuzz_echogram:8192 fuzz_track:8192; do
  target=${entry%%:*}
  corpus=$build/corpus/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$TMPDIR"
  before=$(ls "$crashes" | wc -l)
  "$build/tests/fuzz/$target" "$corpus" "$build/seeds/$target" \
      -max_total_time="$seconds" -max_len="${entry##*:}" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$crashes/$target-" >"$log" 2>&1
  rc=$?
  rm -rf "$TMPDIR"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  found=$(($(ls "$crashes" | wc -l) - before))
  [ $rc -ne 0 ] && [ $found -eq 0 ] && found=1  # stopped without leaving an input
  printf '%-18s %10s runs %7s exec/s  corpus %5s files  crashes %d\n' "$target" "${runs:-?}" \
    "${rate:-?}" "$(ls "$corpus" | wc -l)" "$found"
  if [ $found -ne 0 ]; then
    status=1
    grep -m 1 -E '^SUMMARY|ERROR: libFuzzer' "$log" | sed 's/^/    /'
    grep -E 'Test unit written to' "$log" | sed 's/^.*written to /    input: /'
    echo "    log: $log"
  fi
done
exit $status
