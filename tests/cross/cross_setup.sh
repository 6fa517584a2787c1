# Shared by the cross comparisons (sourced with the script's arguments):
#   NATIVE_ZT615 LOGGER_SIM WINDOWS_BUILD_DIR WINE_RUN
# ZT_WINDOWS_BUILD_DIR in the environment overrides the third argument. Exits 77 (skipped)
# when there is no Windows build with cli/zt615.exe, or no Wine; otherwise sets native, sim,
# exe and wine_run, and moves into a fresh work folder that is removed on exit.
native=$1
sim=$2
win_dir=${ZT_WINDOWS_BUILD_DIR:-${3:-}}
wine_run=$4
exe="$win_dir/cli/zt615.exe"

if [ -z "$win_dir" ] || [ ! -f "$exe" ]; then
  echo "SKIP: no Windows build with cli/zt615.exe (set ZT_WINDOWS_BUILD_DIR)"
  exit 77
fi
if ! command -v wine >/dev/null 2>&1; then
  echo "SKIP: wine is not installed"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zt615-cross.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
