#!/usr/bin/env bash
# The main job on a fresh machine: set-up, build, a simulated recording, the control program
# with that recording open and a simulated logger on COM3, then the recording's export in the
# three formats from the command line. Outputs go to out/demo/ (or the folder given as $1).
#
# With a display (DISPLAY set) the control program opens on it; close its window to go on.
# Without one it runs on Xvfb, and screenshots of the main window and of the Device info
# dialog are saved as main_window.png and device_info.png in the output folder.
#   ZT_DEMO_NO_BUILD=1  skip set-up and build (the trees are already built)
#   ZT_WINEPREFIX       the Wine prefix (default build/wineprefix, as scripts/wine-run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=${1:-out/demo}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
export ZT_WINEPREFIX=${ZT_WINEPREFIX:-$root/build/wineprefix}

native=build/native
sim=$native/tools/logger_sim/zt615_logger_sim
control=build/windows/control/zt615_control.exe
driver=build/windows/tests/gui/zt_control_gui_test.exe
# A fixed path for the simulator's line, so that COM3 keeps its mapping from run to run.
serial_dir=$root/build/demo
link=$serial_dir/COM3
gui_timeout=300

sim_pid=""
child_pid=""
own_server=""
failed=""

# Runs "$@" in the background and waits for it, so that Ctrl+C or a TERM reaches the trap at
# once (a foreground command would delay it) and cleanup can stop the command.
run_child() {
  local status=0
  "$@" &
  child_pid=$!
  wait "$child_pid" || status=$?
  child_pid=""
  return $status
}

# Stops one process we started: TERM, then KILL after `tenths` tenths of a second.
stop_pid() {
  local pid=$1 tenths=$2
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 "$tenths"); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

stop_child() {
  [ -n "$child_pid" ] || return 0
  stop_pid "$child_pid" 100
  child_pid=""
}

stop_sim() {
  [ -n "$sim_pid" ] || return 0
  stop_pid "$sim_pid" 50
  sim_pid=""
}

# Runs a command with the project's Wine environment (in a subshell: the rest of the demo
# keeps its own environment).
in_wine() {
  (source "$root/scripts/wine-env.sh" && "$@")
}

stop_own_server() {
  [ -n "$own_server" ] || return 0
  in_wine timeout 30 wineserver -k >/dev/null 2>&1 || true
  own_server=""
}

cleanup() {
  stop_child
  stop_sim
  stop_own_server
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Declares the simulator's line as COM3 in the prefix (HKLM\Software\Wine\Ports). Wine reads
# its ports when its device manager starts, so the prefix's server (that prefix's alone) is
# restarted, but only when the mapping changed. Run through in_wine.
map_com3() {
  local want stamp
  want=$(printf '"COM3"="%s"' "$(printf '%s' "$link" | sed 's/[\\"]/\\&/g')")
  stamp=$WINEPREFIX/.zt_ports
  (
    flock 9
    [ "$(cat "$stamp" 2>/dev/null)" = "$want" ] && exit 0
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n%s\n' "$want" \
      > "$WINEPREFIX/zt_ports.reg"
    timeout 60 wine regedit /S "$WINEPREFIX/zt_ports.reg" </dev/null >/dev/null 2>&1 9>&- || exit 1
    timeout 30 wineserver -k >/dev/null 2>&1 9>&- || true
    timeout 30 wineserver -w >/dev/null 2>&1 9>&- || true
    printf '%s\n' "$want" > "$stamp"
  ) 9>"$WINEPREFIX.lock" || return 1
  zt_wine_server_up
}

# Z:\... for a Unix path (Wine's Z: drive is the Unix root).
windows_path() {
  local p
  p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s' "${p//\//\\}"
}

if [ "${ZT_DEMO_NO_BUILD:-}" != 1 ]; then
  scripts/setup.sh
  scripts/build.sh all
fi

echo
echo "== A simulated recording: 10 m range, 3000 pings in series of 10, a ping every 0.2 s"
# The same recording as the user guide's pictures (scripts/screenshots.sh).
$sim record "$dir/DEMO.BIN" $(cat scripts/demo-recording.args)

echo
echo "== The control program, with a simulated logger on COM3"
if [ ! -f "$control" ]; then
  echo "demo.sh: $control is not built; the control program is skipped" >&2
  failed=yes
else
  mkdir -p "$serial_dir"
  rm -f "$dir/logger_sim.jsonl"
  "$sim" serve --link "$link" --log "$dir/logger_sim.jsonl" \
    >/dev/null 2>"$serial_dir/logger_sim.stderr" &
  sim_pid=$!
  for _ in $(seq 1 100); do
    [ -L "$link" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -L "$link" ]; then
    echo "demo.sh: the simulated logger did not start:" >&2
    cat "$serial_dir/logger_sim.stderr" >&2
    exit 1
  fi
  echo "Simulated logger on $link (COM3 in the Wine prefix $ZT_WINEPREFIX)"
  # Whether this prefix's server runs already (`wineserver -w` returns at once when not):
  # one started here is stopped at the end.
  mkdir -p "$(dirname "$ZT_WINEPREFIX")"
  if in_wine timeout 0.3 wineserver -w </dev/null >/dev/null 2>&1; then
    own_server=yes
  fi
  in_wine zt_wine_prefix_ready
  if ! in_wine map_com3; then
    echo "demo.sh: could not map COM3 in $ZT_WINEPREFIX" >&2
    exit 1
  fi
  demo_file=$(windows_path "$dir/DEMO.BIN")
  if [ -n "${DISPLAY:-}" ]; then
    echo "Opening $demo_file; close the program's window to go on."
    status=0
    run_child scripts/wine-run.sh "$control" "$demo_file" || status=$?
    if [ "$status" -ne 0 ]; then
      echo "demo.sh: the control program ended with status $status" >&2
      failed=yes
    fi
  else
    echo "No display: the control program runs on Xvfb and screenshots are taken."
    rm -f "$dir/main_window.bmp" "$dir/device_info.bmp" "$dir/main_window.png" \
      "$dir/device_info.png"
    if [ ! -f "$driver" ]; then
      echo "demo.sh: $driver is not built; no screenshots" >&2
      failed=yes
    else
      # gui-run.sh starts Xvfb and stops it, and this prefix's Wine, when the driver ends.
      # The driver opens the file, saves the main window, connects on COM3, saves the
      # Device info dialog, and closes both.
      # ZT_CONTROL_OUT holds the program's settings folder of the run (APPDATA), so that
      # the demo leaves the user's own settings as they are.
      if ! run_child env ZT_DEMO_FILE="$demo_file" ZT_SCREENSHOT_DIR="$(windows_path "$dir")" \
        ZT_CONTROL_GOOD_PORT=COM3 ZT_CONTROL_OUT="$serial_dir" \
        timeout "$gui_timeout" scripts/gui-run.sh "$driver" \
        --gtest_filter=ControlDemo.DISABLED_Screens --gtest_also_run_disabled_tests \
        >"$serial_dir/gui.log" 2>&1; then
        echo "demo.sh: the screenshot run failed (its output: $serial_dir/gui.log)" >&2
        tail -n 20 "$serial_dir/gui.log" >&2
        failed=yes
      fi
      own_server=""
      for shot in main_window device_info; do
        if [ -f "$dir/$shot.bmp" ]; then
          convert "$dir/$shot.bmp" "$dir/$shot.png" && rm -f "$dir/$shot.bmp"
          echo "  $dir/$shot.png"
        else
          echo "demo.sh: no $shot screenshot was taken" >&2
          failed=yes
        fi
      done
    fi
  fi
  stop_sim
  stop_own_server
fi

echo
echo "== The recording from the command line"
$native/cli/zt615 info "$dir/DEMO.BIN"
echo
echo "== Export"
$native/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_TEXT.LOG" --format text
$native/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_NMEA.LOG" --format nmea
$native/cli/zt615 export "$dir/DEMO.BIN" "$dir/DEMO_CSV.LOG" --format csv
echo
echo "== First lines of the CSV export"
head -n 4 "$dir/DEMO_CSV.LOG"
echo
echo "Outputs:"
for f in DEMO.BIN DEMO_TEXT.LOG DEMO_NMEA.LOG DEMO_CSV.LOG main_window.png device_info.png \
  logger_sim.jsonl; do
  if [ -f "$dir/$f" ]; then printf '  %s\n' "$dir/$f"; fi
done
if [ -n "$failed" ]; then
  echo "demo.sh: the control program's part did not complete (see above)" >&2
  exit 1
fi
