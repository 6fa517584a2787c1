#!/usr/bin/env bash
# Saves a PNG of each of our windows, for review and for the user guide:
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR is a Windows build tree (default build/windows); OUT_DIR defaults to docs/images,
# the user guide's pictures. The control program shows the demo's recording
# (scripts/demo-recording.args), also at 144 dpi (150 %) in a prefix of its own
# (control_main_144dpi.png). Runs headless (Xvfb) unless DISPLAY is set. The control program's
# device dialogs need a simulated logger on COM3: its runner starts one, with the simulator
# of the native tree (ZT_NATIVE_BUILD, default build/native).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
native=${ZT_NATIVE_BUILD:-$root/build/native}
out=${2:-$root/docs/images}
mkdir -p "$out"
out=$(cd "$out" && pwd)
export TZ=${TZ:-UTC}
export ZT_WINEPREFIX=${ZT_WINEPREFIX:-$build/wineprefix-gui}
export ZT_SCREENSHOT_DIR=$out
shot_tests=(
  "$build/tests/gui/zt_link_utility_gui_test.exe:LinkWindow.DISABLED_Screenshots"
)
for entry in "${shot_tests[@]}"; do
  exe=${entry%%:*}
  filter=${entry#*:}
  if [ ! -x "$exe" ]; then
    echo "screenshots.sh: $exe is not built (build the Windows tree first)" >&2
    exit 1
  fi
  "$root/scripts/gui-run.sh" "$exe" --gtest_filter="$filter" --gtest_also_run_disabled_tests
done
python3 "$root/tests/gui/control_gui_runner.py" "$native/tools/logger_sim/zt615_logger_sim" \
  "$build" "$native" --screenshots "$out"
# The main window at 150 %, as the screen shows it: the program's own dpi scaling (the test
# program's screen grabs would be scaled by Wine for a program that does not scale).
shot144=$out/control_main_144dpi.png
ZT_WINEPREFIX=$build/wineprefix-144 ZT_GUI_DPI=144 ZT_GUI_SHOT=$shot144 ZT_DESKTOP=1600x1100 \
  ZT_GUI_SHOT_AFTER=8 "$root/scripts/gui-run.sh" "$build/control/zt615_control.exe" \
  "Z:$native/control-gui/data/REC10.BIN"
desktop=$(convert "$shot144" -format '%[pixel:p{1599,1099}]' info:)
convert "$shot144" -bordercolor "$desktop" -border 1 -fuzz 2% -trim +repage -strip "$shot144"
echo "$shot144"
shopt -s nullglob
for bmp in "$out"/*.bmp; do
  # No time stamps in the PNG: a picture whose window did not change stays the same file.
  convert "$bmp" -strip "${bmp%.bmp}.png"
  rm -f "$bmp"
  echo "${bmp%.bmp}.png"
done
