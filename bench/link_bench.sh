#!/usr/bin/env bash
# The join's speed and memory, as a ratio against a baseline measured in the same run:
#   zt615 link FILE1 FILE2 LINKED   vs   cat FILE1 FILE2 > OUT    (budget: within 1.2x)
#   maximum resident memory of the join, flat in file size
# Usage: bench/link_bench.sh [SIZE]   SIZE of each simulated file, default 512M (10 m range).
#   ZT_BENCH_BUILD  native build tree (default build/native, built by scripts/build.sh; any
#                   other tree is brought up to date with cmake --build)
#   ZT_BENCH_DIR    work folder for the files (default build/bench)
# Each command runs three times, its output removed before each run (outside the timing); the
# fastest run counts, so that noise cancels. The files are read once before, so both start
# from the page cache.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-512M}
source bench/build_tree.sh
f1=$work/link_1.BIN
f2=$work/link_2.BIN
linked=$work/link_out.BIN
catout=$work/link_cat.BIN
measure=bench/measure.py
sim=$bin/tools/logger_sim/zt615_logger_sim
zt=$bin/cli/zt615

if [ ! -f "$f2" ] || [ "$(cat "$work/link.size" 2>/dev/null)" != "$size" ]; then
  echo "writing two consecutive $size simulated files (10 m range) ..."
  $sim record "$f1" --range 10 --size "$size" --start 1780000000 --quiet
  # File 2 begins 60 s after File 1's last ping and numbers its pings on.
  read -r last_t last_n < <($zt info "$f1" --json | python3 -c \
    'import json,sys; p=json.load(sys.stdin)["last_ping"]; print(p["time_utc"], p["ping_number"])')
  $sim record "$f2" --range 10 --size "$size" --start $((last_t + 60)) --first-ping 1 \
    --seed 2 --quiet
  # The logger keeps one timer record as the header of every file of a recording.
  dd if="$f1" of="$f2" bs=128 count=1 conv=notrunc status=none
  echo "$size" > "$work/link.size"
fi
bytes1=$(stat -c %s "$f1")
bytes2=$(stat -c %s "$f2")
cat "$f1" "$f2" > /dev/null

source bench/timing.sh
# best_fresh OUTPUT COMMAND: the best "SECONDS RSS" of three runs, OUTPUT removed before each.
best_fresh() {
  local b="" r
  for _ in 1 2 3; do
    rm -f "$1"
    r=$($measure "$2")
    if [ -z "$b" ] || awk -v a="${r% *}" -v c="${b% *}" 'BEGIN{exit !(a<c)}'; then b=$r; fi
  done
  echo "$b"
}
cat_r=$(best_fresh "$catout" "cat '$f1' '$f2' > '$catout'"); cat_s=${cat_r% *}
rm -f "$catout"
link_r=$(best_fresh "$linked" "$zt link '$f1' '$f2' '$linked' --quiet"); link_s=${link_r% *}; rss=${link_r#* }
want=$((bytes1 + bytes2 - 128))
got=$(stat -c %s "$linked")
rm -f "$linked"

ratio=$(ratio "$link_s" "$cat_s")
verdict=$(verdict "$ratio" 1.2 le)
printf 'inputs: %s (%d bytes), %s (%d bytes)\n\n' "$f1" "$bytes1" "$f2" "$bytes2"
printf '%-34s %8s s\n' "cat FILE1 FILE2 > OUT" "$cat_s"
printf '%-34s %8s s   %5sx cat (budget 1.2x) %s   max RSS %d KiB\n' "zt615 link FILE1 FILE2 LINKED" \
  "$link_s" "$ratio" "$verdict" "$rss"
status=0
[ "$verdict" = ok ] || status=1
if [ "$got" -ne "$want" ]; then
  echo "the Linked file has $got bytes, expected $want" >&2
  status=1
fi
exit $status
