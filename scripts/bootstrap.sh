#!/usr/bin/env bash
# Installs the Debian packages Tarnwell builds and runs with. Run as root; packages
# already present are skipped, so a second run costs nothing. With --fuzz also clang and
# its fuzzing runtime (scripts/fuzz.sh).
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang-format
  libgtest-dev libgmock-dev libcli11-dev
  libgdal-dev libnetcdf-dev gdal-bin netcdf-bin python3-netcdf4 python3-xarray python3-numpy
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  fonts-noto-cjk fonts-wqy-zenhei
  xvfb xauth
  libopenmpi-dev openmpi-bin
  libopenturns-dev
)
if [ "${1:-}" = --fuzz ]; then packages+=(clang libclang-rt-dev); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
