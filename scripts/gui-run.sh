#!/usr/bin/env bash
# Runs a Windows GUI program (usually a GUI test) under Wine with a display and a virtual
# desktop: scripts/gui-run.sh PROGRAM.exe [ARGS...]
# Without DISPLAY it starts Xvfb on a free display and stops it afterwards, together with
# the prefix's Wine processes (its desktop belongs to that display).
#   ZT_WINEPREFIX  the prefix (GUI tests use one of their own, beside the build tree)
#   ZT_DESKTOP     virtual desktop size (default 1280x900)
#   ZT_FILE_SIZE_LIMIT_KB  if set, files the program writes cannot grow past this many KiB
#                  (writes beyond fail as on a full disk)
#   ZT_GUI_DPI     if set, the prefix's dpi (Wine reads it when a program starts)
#   ZT_GUI_SHOT    if set, a PNG of the desktop is saved there ZT_GUI_SHOT_AFTER seconds
#                  (default 8) after the program started, and the program is then closed
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
size=${ZT_DESKTOP:-1280x900}
xvfb_pid=""

stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    # The display is ours only if our Xvfb holds its lock: two runs starting at once may
    # both try :$n, and the loser must not use the winner's display.
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null &&
      [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
      export DISPLAY=":$n"
      xvfb_pid=$pid
      break
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -z "$xvfb_pid" ]; then
    echo "gui-run.sh: could not start Xvfb on any display :91-:160" >&2
    exit 1
  fi
fi

source "$here/wine-env.sh"
trap stop_xvfb EXIT
trap 'exit 130' INT TERM
zt_wine_prefix_ready
zt_wine_virtual_desktop "$size"
if [ -n "${ZT_GUI_DPI:-}" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ZT_GUI_DPI" /f \
    </dev/null >/dev/null 2>&1
fi
if [ -n "${ZT_GUI_SHOT:-}" ]; then
  wine "$@" &
  program=$!
  sleep "${ZT_GUI_SHOT_AFTER:-8}"
  import -window root "$ZT_GUI_SHOT"
  status=$?
  kill "$program" 2>/dev/null || true
  stop_xvfb
  exit $status
fi
if [ -n "${ZT_FILE_SIZE_LIMIT_KB:-}" ]; then
  (trap '' XFSZ; ulimit -f "$ZT_FILE_SIZE_LIMIT_KB"; exec wine "$@")
else
  wine "$@"
fi
status=$?
stop_xvfb
exit $status
