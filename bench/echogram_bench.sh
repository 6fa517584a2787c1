#!/usr/bin/env bash
# The echogram's speed and memory, as figures and ratios measured in one run:
#   one redraw of a 1600 x 900 image of a 100 m recording after the first draw, against the
#     literal steps (palette built every draw, one whole-record read per column)
#                                                   (budget: at most 8 ms, at least 5x faster)
#   opening a large 10 m recording (the ping index) vs cat FILE > /dev/null
#                                                   (budget: within 1.5x; 8 bytes a ping)
#   zt615 echogram of that file, whole-file view    (budget: under 1 s)
# Usage: bench/echogram_bench.sh [SIZE]   SIZE of the large recording, default 4G; a smaller
# one is used (and said) when the work folder's disk has no room for it.
#   ZT_BENCH_BUILD  native build tree (default build/native, built by scripts/build.sh)
#   ZT_BENCH_DIR    work folder for the recordings (default /tmp/zt615-echogram-bench);
#                   everything written there is removed at the end
# Each command runs three times and the fastest run counts, so that noise cancels; every file
# is read once before, so that all start from the page cache.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-4G}
bin=${ZT_BENCH_BUILD:-build/native}
if [ -z "${ZT_BENCH_BUILD:-}" ]; then scripts/build.sh native >/dev/null; fi
work=${ZT_BENCH_DIR:-/tmp/zt615-echogram-bench}
mkdir -p "$work"
trap 'rm -f "$work"/echogram_*.BIN "$work"/echogram_out.png; rmdir "$work" 2>/dev/null || true' EXIT
measure=bench/measure.py
sim=$bin/tools/logger_sim/zt615_logger_sim
zt=$bin/cli/zt615
bench=$bin/bench/zt_echogram_bench

to_bytes() { numfmt --from=iec "$1"; }
want=$(to_bytes "$size")
room=$(( $(df --output=avail -B1 "$work" | tail -1) - (1 << 30) ))  # keep 1 GiB free
while [ "$want" -gt "$room" ] && [ "$want" -gt $((256 << 20)) ]; do want=$((want / 2)); done
if [ "$want" -ne "$(to_bytes "$size")" ]; then
  echo "note: $work has room for $((room >> 20)) MiB only: the large recording is $((want >> 20)) MiB, not $size"
fi

big=$work/echogram_10m.BIN
deep=$work/echogram_100m.BIN
echo "writing a $((want >> 20)) MiB 10 m recording and a 100 m recording of 4000 pings at 5 a second ..."
$sim record "$big" --range 10 --size "$want" --quiet
$sim record "$deep" --range 100 --pings 4000 --interval 2 --quiet
cat "$big" "$deep" > /dev/null

source bench/timing.sh
status=0

# Redraw: the bench program times both draws itself, in the same process.
read -r ours literal kept < <($bench redraw "$deep" 1600 900 600 20 2>/dev/null)
q=$(ratio "$literal" "$ours"); qk=$(ratio "$kept" "$ours")
v1=$(verdict "$ours" 8 le); v2=$(verdict "$qk" 5 ge)
[ "$v1" = ok ] && [ "$v2" = ok ] || status=1
printf 'redraw 1600 x 900, 100 m, 600 s view (%s)\n' "$(du -h "$deep" | cut -f1)"
printf '  %-44s %8s ms   (budget 8 ms) %s\n' "ours (cached palette and pings)" "$ours" "$v1"
printf '  %-44s %8s ms   ours is %sx faster\n' "literal steps, buffer allocated each draw" "$literal" "$q"
printf '  %-44s %8s ms   ours is %sx faster (budget 5x) %s\n' "literal steps, buffer kept between draws" "$kept" "$qk" "$v2"

# Opening: the index alone, against reading the file once.
bytes=$(stat -c %s "$big")
cat_r=$(best "cat '$big' > /dev/null"); cat_s=${cat_r% *}
open_r=$(best "$bench open '$big' > '$work/open.txt'"); open_s=${open_r% *}; rss=${open_r#* }
read -r pings _ < "$work/open.txt"
rm -f "$work/open.txt"
index_kib=$(( pings * 8 / 1024 ))
q=$(ratio "$open_s" "$cat_s"); v=$(verdict "$q" 1.5 le); [ "$v" = ok ] || status=1
vm=$([ "$rss" -le $((index_kib + 16384)) ] && echo ok || echo "OVER BUDGET"); [ "$vm" = ok ] || status=1
printf '\nopening %s (%d bytes, %d pings)\n' "$big" "$bytes" "$pings"
printf '  %-44s %8s s\n' "cat FILE > /dev/null" "$cat_s"
printf '  %-44s %8s s   %sx cat (budget 1.5x) %s\n' "LoadPingIndex" "$open_s" "$q" "$v"
printf '  %-44s %8d KiB  index %d KiB = 8 bytes x %d pings (budget: index + 16 MiB) %s\n' \
  "max RSS" "$rss" "$index_kib" "$pings" "$vm"

# The command line reads only the pings it shows.
r=$(best "$zt echogram '$big' '$work/echogram_out.png'"); s=${r% *}; rss=${r#* }
v=$(verdict "$s" 1 le); [ "$v" = ok ] || status=1
printf '\n  %-44s %8s s   (budget 1 s) %s   max RSS %d KiB\n' "zt615 echogram, whole file, 1200 x 600" "$s" "$v" "$rss"
exit $status
