#!/usr/bin/env bash
# The control program's window while a large recording opens, under Wine: the longest time
# its main window takes to answer a message while the echogram's index is built, the time
# to the first picture and to the complete index (goal: no answer slower than 100 ms).
# Usage: bench/window_bench.sh [SIZE]   the recording's size, default 4G
#   ZT_BENCH_DIR  work folder (default /tmp/zt615-window-bench: the Wine prefix and the
#                 recording; the recording is kept there between runs)
# Needs both builds (scripts/build.sh). The page cache is warm after the first run; to see
# a cold start, drop it first (as root: sync; echo 1 > /proc/sys/vm/drop_caches).
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-4G}
work=${ZT_BENCH_DIR:-/tmp/zt615-window-bench}
mkdir -p "$work"
ZT_GUI_BIG_SIZE=$size python3 tests/gui/control_gui_runner.py \
  build/native/tools/logger_sim/zt615_logger_sim build/windows "$work" \
  --gtest_filter=Everyday.MainWindowAnswersWhileALargeRecordingIsIndexed \
  | grep -E 'FIGURE|OK|FAILED|passed'
