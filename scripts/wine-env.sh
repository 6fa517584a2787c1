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
      wineboot -i >/dev/null 2>&1 || true
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
      wine regedit /S "$WINEPREFIX/zt_fonts.reg" >/dev/null 2>&1 || true
      wineserver -w
      touch "$WINEPREFIX/.zt_ready"
    fi
  ) 9>"$WINEPREFIX.lock"
  # A persistent server: registry edits and the prefix stay live between test programs.
  wineserver -p >/dev/null 2>&1 || true
}
