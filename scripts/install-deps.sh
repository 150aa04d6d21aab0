#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test. Idempotent.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libjpeg-dev libinih-dev libmodbus-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth imagemagick python3-pymodbus python3-serial python3-serial-asyncio mbpoll socat
  clang libclang-rt-14-dev clang-format
  dpkg-dev lintian desktop-file-utils appstream xdotool poppler-utils
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
