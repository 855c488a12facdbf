#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and nothing when all are present.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5x11extras5-dev
  libqt5webkit5-dev
  libboost-system-dev
  libcurl4-openssl-dev
  libmbedtls-dev
  libhttp-parser-dev
  libmpv-dev
  libtorrent-rasterbar-dev
  libx11-dev
  xvfb xauth x11-utils
  libgl1-mesa-dri libglx-mesa0 libegl-mesa0
  ffmpeg
  xdg-utils shared-mime-info libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
