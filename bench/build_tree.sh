# Shared by the benchmarks (sourced): the native build they run, brought up to date, and
# their work folder. Sets bin and work.
bin=${ZT_BENCH_BUILD:-build/native}
if [ "$bin" = build/native ]; then
  scripts/build.sh native >/dev/null
else
  cmake --build "$bin" >/dev/null
fi
work=${ZT_BENCH_DIR:-build/bench}
mkdir -p "$work"
