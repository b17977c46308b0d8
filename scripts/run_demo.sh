#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demonstrator on the project's own
# sample pair. Close the window (or press Ctrl+C without a display) to stop it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
cd build/run
exec ../korrapp
