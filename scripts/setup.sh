#!/usr/bin/env bash
# Installs everything the builds, the tests and the demo need on a fresh Debian machine.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config libgtest-dev googletest libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb socat x11-utils clang libclang-rt-14-dev
  fonts-wine fonts-liberation imagemagick python3 libstb-dev xauth
  libnetcdf-dev libpugixml-dev netcdf-bin python3-xarray python3-netcdf4 python3-dask gdal-bin
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y "${missing[@]}"
fi
