#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already present.
set -euo pipefail

packages=(
  cmake g++ clang libclang-rt-14-dev
  ocl-icd-opencl-dev opencl-headers opencl-clhpp-headers pocl-opencl-icd
  libsdl2-dev libx11-dev libgtest-dev libbenchmark-dev libpng-dev
  xvfb xauth xdotool imagemagick
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools wine64 x11-utils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
