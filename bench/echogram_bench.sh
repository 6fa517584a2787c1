#!/usr/bin/env bash
# The echogram's speed and memory, as figures and ratios measured in one run:
#   one redraw of a 1600 x 900 image of a 100 m recording after the first draw, against the
#     literal steps (palette built every draw, one whole-record read per column)
#                                                   (budget: at most 8 ms, at least 5x faster)
#   the ping index of a large 10 m recording (record headers only) vs cat FILE > /dev/null
#                                                   (budget: within 1.5x; 8 bytes a ping)
#   zt615 echogram, whole file, of a 1 GiB 10 m and a 1 GiB 100 m recording vs cat
#                                                   (budget: 0.5x and 0.2x)
#   the window's first picture of the large recording through a reader slowed to 30 MB/s
#     (the core path the window takes)              (budget: under 0.3 s, at most 1 MiB read)
#     and its index of each 1 GiB recording through that reader, against the time the reader
#     needs for the bytes it delivers               (at the reader's speed: about 1x)
#   100 recordings of 10 MB: one run with --out-dir --jobs 2 vs 100 runs one after the other
#                                                   (budget: 0.6x)
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
trap 'rm -rf "$work"/echogram_*.BIN "$work"/echogram_out.png "$work"/many "$work"/pics; rmdir "$work" 2>/dev/null || true' EXIT
measure=bench/measure.py
sim=$bin/tools/logger_sim/zt615_logger_sim
zt=$bin/cli/zt615
bench=$bin/bench/zt_echogram_bench

to_bytes() { numfmt --from=iec "$1"; }
want=$(to_bytes "$size")
room=$(( $(df --output=avail -B1 "$work" | tail -1) - (4 << 30) ))  # the 1 GiB files, and 1 GiB free
while [ "$want" -gt "$room" ] && [ "$want" -gt $((256 << 20)) ]; do want=$((want / 2)); done
if [ "$want" -ne "$(to_bytes "$size")" ]; then
  echo "note: $work has room for $((room >> 20)) MiB only: the large recording is $((want >> 20)) MiB, not $size"
fi

big=$work/echogram_10m.BIN
g10=$work/echogram_1g_10m.BIN
g100=$work/echogram_1g_100m.BIN
deep=$work/echogram_100m.BIN
echo "writing a $((want >> 20)) MiB 10 m recording, 1 GiB recordings of 10 m and 100 m, and a 100 m recording of 4000 pings at 5 a second ..."
$sim record "$big" --range 10 --size "$want" --quiet
$sim record "$g10" --range 10 --size 1G --quiet
$sim record "$g100" --range 100 --size 1G --quiet
$sim record "$deep" --range 100 --pings 4000 --interval 2 --quiet
cat "$big" "$g10" "$g100" "$deep" > /dev/null

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

# The index alone (the command line's, for views other than the whole file), against
# reading the file once.
bytes=$(stat -c %s "$big")
cat_r=$(best "cat '$big' > /dev/null"); cat_s=${cat_r% *}
open_r=$(best "$bench open '$big' > '$work/open.txt'"); open_s=${open_r% *}; rss=${open_r#* }
read -r pings _ < "$work/open.txt"
rm -f "$work/open.txt"
index_kib=$(( pings * 8 / 1024 ))
q=$(ratio "$open_s" "$cat_s"); v=$(verdict "$q" 1.5 le); [ "$v" = ok ] || status=1
vm=$([ "$rss" -le $((index_kib + 16384)) ] && echo ok || echo "OVER BUDGET"); [ "$vm" = ok ] || status=1
printf '\nthe ping index of %s (%d bytes, %d pings)\n' "$big" "$bytes" "$pings"
printf '  %-44s %8s s\n' "cat FILE > /dev/null" "$cat_s"
printf '  %-44s %8s s   %sx cat (budget 1.5x) %s\n' "LoadPingIndex (record headers)" "$open_s" "$q" "$v"
printf '  %-44s %8d KiB  index %d KiB = 8 bytes x %d pings (budget: index + 16 MiB) %s\n' \
  "max RSS" "$rss" "$index_kib" "$pings" "$vm"

# The command line's whole-file picture reads only the pings it shows.
printf '\nzt615 echogram, whole file, 1200 x 600, against cat FILE > /dev/null\n'
for pair in "$g10 0.5" "$g100 0.2"; do
  f=${pair% *}; budget=${pair#* }
  c=$(best "cat '$f' > /dev/null"); c=${c% *}
  r=$(best "$zt echogram '$f' '$work/echogram_out.png'"); s=${r% *}; rss=${r#* }
  q=$(ratio "$s" "$c"); v=$(verdict "$q" "$budget" le); [ "$v" = ok ] || status=1
  printf '  %-30s cat %6s s, echogram %6s s: %sx cat (budget %sx) %s   max RSS %d KiB\n' \
    "$(basename "$f")" "$c" "$s" "$q" "$budget" "$v" "$rss"
done

# The window's first picture through a slow card, then its index at the card's speed.
printf '\nthe window on a card read at 30 MB/s (4 KiB pages, one read at a time)\n'
best_fv=""
for _ in 1 2 3; do
  read -r fv fv_bytes _ _ < <($bench first-view "$big" 30 1600 900 0)
  if [ -z "$best_fv" ] || awk -v a="$fv" -v b="$best_fv" 'BEGIN{exit !(a<b)}'; then best_fv=$fv; fvb=$fv_bytes; fi
done
v=$(verdict "$best_fv" 0.3 le); vb=$([ "$fvb" -le $((1 << 20)) ] && echo ok || echo "OVER BUDGET")
[ "$v" = ok ] && [ "$vb" = ok ] || status=1
printf '  %-44s %8s s   (budget 0.3 s) %s; %d KiB read (budget 1024 KiB) %s\n' \
  "first picture of $(basename "$big")" "$best_fv" "$v" $((fvb / 1024)) "$vb"
for f in "$g10" "$g100"; do
  read -r _ _ idx idx_bytes < <($bench first-view "$f" 30 1600 900 1)
  card=$(awk -v b="$idx_bytes" 'BEGIN{printf "%.1f", b / 30e6}')
  printf '  %-44s %8s s   %d MiB read, %s s at 30 MB/s: %sx the reader; %s of the file\n' \
    "index of $(basename "$f")" "$idx" $((idx_bytes >> 20)) "$card" "$(ratio "$idx" "$card")" \
    "$(awk -v a="$idx_bytes" -v b="$(stat -c %s "$f")" 'BEGIN{printf "%.0f %%", 100 * a / b}')"
done

# A deployment's pictures: 100 recordings in one run against 100 runs.
mkdir -p "$work/many"
for k in $(seq -w 1 100); do
  $sim record "$work/many/DATA$k.BIN" --range 10 --size 10M --seed "$k" --quiet
done
cat "$work"/many/*.BIN > /dev/null
one=$(best "for f in '$work'/many/*.BIN; do $zt echogram \"\$f\" '$work/echogram_out.png' || exit 1; done")
one=${one% *}
many=$(best "$zt echogram '$work'/many/*.BIN --out-dir '$work/pics' --jobs 2 > /dev/null")
many=${many% *}
q=$(ratio "$many" "$one"); v=$(verdict "$q" 0.6 le); [ "$v" = ok ] || status=1
printf '\n100 recordings of 10 MB, 1200 x 600 each\n'
printf '  %-44s %8s s\n' "100 runs one after the other" "$one"
printf '  %-44s %8s s   %sx (budget 0.6x) %s\n' "one run, --out-dir --jobs 2" "$many" "$q" "$v"
exit $status
