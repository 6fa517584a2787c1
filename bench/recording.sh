# Shared by the export benchmarks (sourced, after `size` is set): brings the build up to date
# and writes, once per size, the simulated 10 m recording they read. Sets bin, work, in,
# out_dir and bytes, and reads the recording into the page cache.
source bench/build_tree.sh
in=$work/bench_10m.BIN
out_dir=${ZT_BENCH_OUT:-$([ -d /dev/shm ] && echo /dev/shm/zt615-bench || echo "$work")}
mkdir -p "$out_dir"
if [ ! -f "$in" ] || [ "$(cat "$work/bench_10m.size" 2>/dev/null)" != "$size" ]; then
  echo "writing a $size simulated file (10 m range) ..."
  $bin/tools/logger_sim/zt615_logger_sim record "$in" --range 10 --size "$size" --quiet
  echo "$size" > "$work/bench_10m.size"
fi
bytes=$(stat -c %s "$in")
cat "$in" > /dev/null  # into the page cache, as for every run after it
