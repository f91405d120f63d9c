#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Rastel needs.
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qtbase5-dev libqt5svg5-dev libqt5opengl5-dev
  libopenmpi-dev libvtk9-dev libvtk9-qt-dev
  libqwt-qt5-dev
  libqt-advanced-docking-system-dev
  nlohmann-json3-dev libcpp-httplib-dev
  libtiff-dev libtiff-tools libdcmtk-dev dcmtk dicom3tools
  libaravis-dev aravis-tools libusb-1.0-0-dev iproute2
  libgtest-dev libgmock-dev libbenchmark-dev libopencv-dev
  clang libclang-rt-dev
  xvfb xauth libgl1-mesa-dri
  python3-numpy python3-tifffile python3-pytest
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
