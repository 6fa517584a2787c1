#!/usr/bin/env bash
# netCDF export speed and memory, as a ratio against a baseline measured in the same run:
#   zt615 export --format netcdf   vs  gzip -4 -c FILE > /dev/null   (budget: within 1.5x; both
#                                      deflate about the same bytes once, at level 4)
#   maximum resident memory of the export                            (budget: under 64 MiB)
# Usage: bench/netcdf_bench.sh [SIZE]   SIZE of the simulated file, default 1G (10 m range).
#   ZT_BENCH_BUILD, ZT_BENCH_DIR, ZT_BENCH_OUT as for bench/export_bench.sh.
# Each command runs three times; the fastest run counts. The output goes to a RAM-backed folder
# so that the disk's write-back speed does not drown what is compared.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
source bench/recording.sh
out=$out_dir/bench_out.nc
measure=bench/measure.py

source bench/timing.sh

printf 'input: %s, %d bytes; output in %s\n\n' "$in" "$bytes" "$out_dir"
g=$(best "gzip -4 -c '$in' > /dev/null"); gzip_s=${g% *}
gzip_bytes=$(gzip -4 -c "$in" | wc -c)
printf '%-36s %8s s   output %d bytes\n' "gzip -4 -c FILE > /dev/null" "$gzip_s" "$gzip_bytes"
r=$(best "$bin/cli/zt615 export '$in' '$out' --format netcdf --quiet"); nc_s=${r% *}; rss=${r#* }
nc_bytes=$(stat -c %s "$out")
rm -f "$out"
status=0
q=$(ratio "$nc_s" "$gzip_s"); v=$(verdict "$q" 1.5 le); [ "$v" = ok ] || status=1
printf '%-36s %8s s   %5sx gzip (budget 1.5x) %s   output %d bytes\n' \
  "zt615 export --format netcdf" "$nc_s" "$q" "$v" "$nc_bytes"
v=$([ "$rss" -lt 65536 ] && echo ok || echo "OVER BUDGET"); [ "$v" = ok ] || status=1
printf '\nmax RSS of the export: %d KiB (budget 65536 KiB) %s\n' "$rss" "$v"
exit $status
