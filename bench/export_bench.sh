#!/usr/bin/env bash
# Export throughput and memory, as ratios against baselines measured in the same run:
#   NMEA and CSV export    vs  cat FILE > /dev/null               (budget: within 1.3x)
#   text export            vs  head -c N /dev/zero > OUT          (budget: within 1x, as fast
#                                                                  as writing the same bytes)
#   text export            vs  one printf per sample (naive)      (budget: 10x faster)
#   maximum resident memory of every export                       (budget: under 32 MiB)
# Usage: bench/export_bench.sh [SIZE]   SIZE of the simulated file, default 1G (10 m range).
#   ZT_BENCH_BUILD  native build tree (default build/native, built by scripts/build.sh; any
#                   other tree is brought up to date with cmake --build)
#   ZT_BENCH_DIR    work folder for the input file (default build/bench)
# Each command runs three times; the fastest run counts, so that noise cancels. Outputs go to
# a RAM-backed folder ($ZT_BENCH_OUT, default /dev/shm/zt615-bench) so that the disk's
# write-back speed, the same for every writer, does not drown what is compared.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
source bench/recording.sh
out=$out_dir/bench_out.LOG
measure=bench/measure.py

source bench/timing.sh

printf 'input: %s, %d bytes; outputs in %s\n\n' "$in" "$bytes" "$out_dir"
cat_r=$(best "cat '$in' > /dev/null"); cat_s=${cat_r% *}
printf '%-34s %8s s\n' "cat FILE > /dev/null" "$cat_s"
status=0
rss_max=0
for fmt in nmea csv; do
  r=$(best "$bin/cli/zt615 export '$in' '$out' --format $fmt --quiet"); s=${r% *}; rss=${r#* }
  [ "$rss" -gt "$rss_max" ] && rss_max=$rss
  q=$(ratio "$s" "$cat_s"); v=$(verdict "$q" 1.3 le); [ "$v" = ok ] || status=1
  printf '%-34s %8s s   %5sx cat (budget 1.3x) %s   max RSS %d KiB\n' "zt615 export --format $fmt" "$s" "$q" "$v" "$rss"
done
r=$(best "$bin/cli/zt615 export '$in' '$out' --format text --quiet"); text_s=${r% *}; rss=${r#* }
[ "$rss" -gt "$rss_max" ] && rss_max=$rss
text_bytes=$(stat -c %s "$out")
rm -f "$out"
z=$(best "head -c $text_bytes /dev/zero > '$out'"); zero_s=${z% *}
rm -f "$out"
q=$(ratio "$text_s" "$zero_s"); v=$(verdict "$q" 1 le); [ "$v" = ok ] || status=1
printf '%-34s %8s s\n' "head -c $text_bytes /dev/zero > OUT" "$zero_s"
printf '%-34s %8s s   %5sx head (budget 1x) %s   max RSS %d KiB\n' "zt615 export --format text" "$text_s" "$q" "$v" "$rss"
naive=$($measure "$bin/bench/zt_naive_text_export '$in' '$out'"); naive_s=${naive% *}
if [ -n "${ZT_BENCH_CHECK_NAIVE:-}" ]; then
  $bin/cli/zt615 export "$in" "$out.ours" --format text --quiet && cmp "$out" "$out.ours" && echo "naive output is byte-identical"
  rm -f "$out.ours"
fi
rm -f "$out"
q=$(ratio "$naive_s" "$text_s"); v=$(verdict "$q" 10 ge); [ "$v" = ok ] || status=1
printf '%-34s %8s s   text export is %sx faster (budget 10x) %s\n' "printf per sample (naive)" "$naive_s" "$q" "$v"
v=$([ "$rss_max" -lt 32768 ] && echo ok || echo "OVER BUDGET"); [ "$v" = ok ] || status=1
printf '\nmax RSS of the exports: %d KiB (budget 32768 KiB) %s\n' "$rss_max" "$v"
exit $status
