# Sourced by the scripts that run our Windows programs under Wine. Prepares a private prefix
# (once, under a lock, so that parallel test runs share it) and keeps one wineserver alive.
#   ZT_WINEPREFIX  the prefix (default: build/wineprefix in the repo)
_zt_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${ZT_WINEPREFIX:-$_zt_root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export LC_ALL=${LC_ALL:-C.UTF-8}
# No menu entries, no Mono or Gecko installers: the prefix is for our programs only.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}

zt_wine_prefix_ready() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.zt_ready" ]; then
      wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
      wineserver -w
      # Wine's own Marlett and Tahoma, and replacements for the fonts GDI+ asks for.
      mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
      cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      cat > "$WINEPREFIX/zt_fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Segoe UI"="Liberation Sans"
"Microsoft Sans Serif"="Liberation Sans"
"MS Shell Dlg"="Liberation Sans"
"MS Shell Dlg 2"="Liberation Sans"
"Arial"="Liberation Sans"
REG
      wine regedit /S "$WINEPREFIX/zt_fonts.reg" </dev/null >/dev/null 2>&1 9>&- || true
      wineserver -w 9>&-
      touch "$WINEPREFIX/.zt_ready"
    fi
  ) 9>"$WINEPREFIX.lock"
  zt_wine_server_up
}

# A persistent server: registry edits and the prefix stay live between test programs. The
# first program of a new server starts Wine's own services, and they inherit that program's
# standard handles; they are started here on /dev/null, or a caller reading the program's
# output through a pipe (ctest) would wait for the services to end.
zt_wine_server_up() {
  (
    flock 8
    # `wineserver -w` returns at once when this prefix has no server, else waits for it.
    if timeout 0.3 wineserver -w </dev/null >/dev/null 2>&1; then
      # Nothing Wine starts may keep the lock's descriptor: its services would hold the lock.
      wineserver -p </dev/null >/dev/null 2>&1 8>&- || true
      wine wineboot.exe </dev/null >/dev/null 2>&1 8>&- || true
    fi
  ) 8>"$WINEPREFIX.server.lock"
}

# A virtual desktop (windows get their frames, screenshots have a fixed size) for GUI runs:
# HKCU\Software\Wine\Explorer. Wine reads it when its desktop process starts, so on the first
# call the prefix's server is restarted. Idempotent; size defaults to 1280x900.
zt_wine_virtual_desktop() {
  local size=${1:-1280x900}
  local fresh=""
  (
    flock 9
    if [ "$(cat "$WINEPREFIX/.zt_desktop" 2>/dev/null)" != "$size" ]; then
      cat > "$WINEPREFIX/zt_desktop.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$size"
REG
      wine regedit /S "$WINEPREFIX/zt_desktop.reg" </dev/null >/dev/null 2>&1 9>&- || true
      echo "$size" > "$WINEPREFIX/.zt_desktop"
      exit 10
    fi
  ) 9>"$WINEPREFIX.lock" || fresh=yes
  if [ -n "$fresh" ]; then
    # Only this prefix's server: its desktop process must start again to see the setting.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    zt_wine_server_up
  fi
}
