#!/usr/bin/env bash
# The main job on a fresh machine: set-up, build, a simulated recording, and its export in the
# three formats. Outputs go to out/demo/ (or the folder given as $1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh native
bin=build/native
dir=${1:-out/demo}
mkdir -p "$dir"
echo
echo "== A simulated recording: 10 m range, 3000 pings in series of 10, a ping every 0.2 s"
$bin/tools/logger_sim/zt615_logger_sim record "$dir/DEMO.BIN" --range 10 --pings 3000 \
  --series 10 --interval 60 --start 2026-06-01T08:00:00Z --seed 7
$bin/cli/zt615 info "$dir/DEMO.BIN"
echo
echo "== Export"
$bin/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_TEXT.LOG" --format text
$bin/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_NMEA.LOG" --format nmea
$bin/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_CSV.LOG" --format csv
echo
echo "== First lines of the CSV export"
head -n 4 "$dir/DEMO_CSV.LOG"
echo
echo "Outputs:"
for f in DEMO.BIN DEMO_TEXT.LOG DEMO_NMEA.LOG DEMO_CSV.LOG; do
  printf '  %s\n' "$(cd "$dir" && pwd)/$f"
done
