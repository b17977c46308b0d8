#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already present.
#
#   scripts/install_deps.sh        everything: the program, tests, benchmarks, fuzzing
#   scripts/install_deps.sh demo   only what building and running the program needs
set -euo pipefail

case "${1:-all}" in
  demo | all) ;;
  *) echo "usage: $0 [demo|all]" >&2; exit 2 ;;
esac

# The program: compiler and build tool, OpenCL headers, loader and runtime, SDL2, and
# the PNG and JPEG decoder (a header, compiled into the Windows build as well).
packages=(
  cmake make g++
  ocl-icd-opencl-dev opencl-headers opencl-clhpp-headers pocl-opencl-icd
  libsdl2-dev libstb-dev
)
# The tests, benchmarks (libpng and libjpeg-turbo are the decode benchmark's peers),
# fuzz targets, and the Windows cross build run under Wine. Oclgrind runs korrdepth
# through its own wrapper; Debian registers no platform for it.
# libclang-rt-dev follows the default clang; python3-meshio reads korrdepth's point
# clouds back in the tests, as a reader that is not the project's own.
if [ "${1:-all}" = all ]; then
  packages+=(
    clang libclang-rt-dev
    libx11-dev libgtest-dev libbenchmark-dev libpng-dev libjpeg-dev
    xvfb xauth xdotool imagemagick python3-meshio oclgrind
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 x11-utils
  )
fi

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
# Recommended packages are left out: what is needed is named above.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
