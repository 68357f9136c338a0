#!/usr/bin/env bash
# Installs every Debian package Quillback needs to build, test and run. Safe to run again:
# packages already present are not fetched.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config git
  liballegro4-dev libloadpng4-dev
  qt6-base-dev libgl-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  desktop-file-utils help2man librsvg2-bin
  libsdl2-mixer-dev libfluidsynth3 timgm6mb-soundfont libvorbis-dev libflac-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libzip-dev zlib1g-dev
  fonts-wqy-zenhei
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libhwy-dev libxsimd-dev libpixman-1-dev
  libxcb1-dev libxcb-shm0-dev
  xvfb xauth xdotool man-db
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
