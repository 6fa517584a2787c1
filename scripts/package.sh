#!/usr/bin/env bash
# Builds both trees (the ones the tests run) and writes the release packages, then checks them:
#   dist/zt615-VERSION-windows-x64.zip      zt615_control.exe, zt615_link_utility.exe, zt615.exe,
#                                           README.txt, LICENSE.txt; nothing else
#   dist/zt615-VERSION-linux-x86_64.tar.gz  bin/zt615, bin/zt615_logger_sim, their man pages
#                                           and the licence, as `cmake --install` lays them out
# The Windows programs are started under Wine from a folder that holds only the zip's files:
# zt615.exe --version, and each window must appear and close cleanly. Runs headless (Xvfb)
# unless DISPLAY is set. ZT_PACKAGE_NO_BUILD=1 packages the trees as they are;
# ZT_PACKAGE_WINDOWS_BUILD and ZT_PACKAGE_NATIVE_BUILD name other trees than build/windows
# and build/native (then nothing is built).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

version_of() { sed -n 's/^#define ZT_VERSION "\(.*\)"$/\1/p' "$1/generated/zt_version.h"; }
fail() { echo "package.sh: $*" >&2; exit 1; }
# holds_only PACKAGE TOP FILE...: the package's file list (on stdin) is TOP/FILE for each FILE.
holds_only() {
  local package=$1 top=$2 listed expected
  shift 2
  listed=$(grep -v '/$' | sort)
  expected=$(printf "$top/%s\n" "$@" | sort)
  [ "$listed" = "$expected" ] || fail "$package holds:
$listed
instead of:
$expected"
  echo "$package: $(stat -c %s "$package") bytes, holds only what it should"
}

# The checks under Wine, run with a display (see the end of this script).
check_windows() {
  local dir=$1 version=$2
  export ZT_WINEPREFIX=$root/build/package/wineprefix
  source "$root/scripts/wine-env.sh"
  zt_wine_prefix_ready
  cd "$dir"
  local out
  out=$(wine ./zt615.exe --version </dev/null 2>/dev/null | tr -d '\r')
  [ "$out" = "zt615 $version" ] || fail "zt615.exe --version printed '$out', not 'zt615 $version'"
  echo "  zt615.exe --version: $out"
  local entry exe title pid status
  for entry in "zt615_control.exe:DEPTHORN ZT615 Control Program" \
               "zt615_link_utility.exe:ZT615 files link utility"; do
    exe=${entry%%:*}
    title=${entry#*:}
    wine "./$exe" </dev/null >/dev/null 2>&1 &
    pid=$!
    local shown=""
    for _ in $(seq 1 300); do
      if xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then shown=yes; break; fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -z "$shown" ]; then
      kill "$pid" 2>/dev/null || true
      wineserver -k 2>/dev/null || true
      fail "$exe: no window \"$title\" within 30 s"
    fi
    # Without /f, taskkill asks the program's windows to close, as the title bar's X does.
    wine taskkill /im "$exe" </dev/null >/dev/null 2>&1 || true
    status=0
    for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wineserver -k 2>/dev/null || true
      fail "$exe: still running 20 s after it was asked to close"
    fi
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$exe ended with status $status when closed"
    echo "  $exe: window \"$title\" appeared and closed (status 0)"
  done
  wineserver -k 2>/dev/null || true
}

if [ "${1:-}" = --check-windows ]; then
  check_windows "$2" "$3"
  exit 0
fi

win=${ZT_PACKAGE_WINDOWS_BUILD:-build/windows}
nat=${ZT_PACKAGE_NATIVE_BUILD:-build/native}
if [ "${ZT_PACKAGE_NO_BUILD:-}" != 1 ] && [ "$win$nat" = build/windowsbuild/native ]; then
  scripts/setup.sh
  scripts/build.sh all
fi
version=$(version_of "$win")
[ -n "$version" ] || fail "no version in $win/generated/zt_version.h (build the Windows tree)"
[ "$(version_of "$nat")" = "$version" ] || fail "the native tree is version $(version_of "$nat"), not $version"
mkdir -p dist build/package
work=$root/build/package

# --- Windows
name=zt615-$version-windows-x64
stage=$work/$name
rm -rf "$stage"
mkdir -p "$stage"
for exe in control/zt615_control.exe link_utility/zt615_link_utility.exe cli/zt615.exe; do
  [ -f "$win/$exe" ] || fail "$win/$exe is not built"
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$win/$exe"
done
# Only Windows' own DLLs: the MinGW runtime is linked in, so nothing has to lie beside the .exe.
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|gdiplus|shell32|advapi32|msvcrt|ole32)\.dll$'
for exe in "$stage"/*.exe; do
  while read -r dll; do
    echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed" ||
      fail "$(basename "$exe") needs $dll, which Windows does not have"
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
# Windows users read these in Notepad: CR LF.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/README-windows.txt > "$stage/README.txt"
sed -e 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
zip=dist/$name.zip
rm -f "$zip"
python3 - "$stage" "$zip" <<'PY'
import os, sys, zipfile
stage, out = sys.argv[1], sys.argv[2]
top = os.path.basename(stage)
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(stage)):
        z.write(os.path.join(stage, name), f"{top}/{name}")
PY

# The zip holds exactly the five files, in one folder.
python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip" |
  holds_only "$zip" "$name" LICENSE.txt README.txt zt615.exe zt615_control.exe zt615_link_utility.exe
check_dir=$work/check-windows
rm -rf "$check_dir"
mkdir -p "$check_dir"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$check_dir"
if [ -n "${DISPLAY:-}" ]; then
  "$0" --check-windows "$check_dir/$name" "$version"
else
  xvfb-run -a -s "-screen 0 1280x900x24" "$0" --check-windows "$check_dir/$name" "$version"
fi

# --- Linux
name=zt615-$version-linux-x86_64
stage=$work/$name
rm -rf "$stage"
cmake --install "$nat" --prefix "$stage" --strip >/dev/null
tarball=dist/$name.tar.gz
rm -f "$tarball"
tar -C "$work" --owner=0 --group=0 --numeric-owner -czf "$tarball" "$name"
tar -tzf "$tarball" | holds_only "$tarball" "$name" bin/zt615 bin/zt615_logger_sim \
  share/doc/zt615/LICENSE share/man/man1/zt615.1 share/man/man1/zt615_logger_sim.1
check_dir=$work/check-linux
rm -rf "$check_dir"
mkdir -p "$check_dir"
tar -C "$check_dir" -xzf "$tarball"
for program in zt615 zt615_logger_sim; do
  out=$("$check_dir/$name/bin/$program" --version)
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
  page=$check_dir/$name/share/man/man1/$program.1
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "$program.1: $warnings"
  echo "  $program --version: $out; man page renders cleanly"
done
# Only the C library and the system's own: the C++ runtime is linked in.
for program in zt615 zt615_logger_sim; do
  if ldd "$check_dir/$name/bin/$program" | grep -Eq 'libstdc\+\+|libgcc_s'; then
    fail "$program needs the shared C++ runtime"
  fi
done
echo "packages: $(ls dist/zt615-"$version"-* | tr "\n" " ")"
