#!/usr/bin/env bash
# Installs what the program needs, builds only the program and its run folder in
# build-demo/, and runs it on the project's own sample pair. Close the window (or
# press Ctrl+C without a display) to stop it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh demo
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=Release -DKORRAPP_BUILD_TESTS=OFF -DKORRAPP_BUILD_BENCHMARKS=OFF
cmake --build build-demo --target korrapp kernel_source sample_pair -j"$(nproc)"
cd build-demo/run
exec ../korrapp
