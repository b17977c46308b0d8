#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite on an X display of
# its own, korrdepth's device code under Oclgrind, the Windows program under Wine, the
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz
# target for a bounded time (FUZZ_SECONDS, 60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
jobs="$(nproc)"
# -noreset: a server that resets whenever its last client leaves drops any program
# still connecting at that moment.
screen=(-s "-screen 0 1600x900x24 -noreset")
summary="$(mktemp)"
trap 'rm -f "$summary"' EXIT

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
xvfb-run -a "${screen[@]}" ctest --test-dir build --output-on-failure -j"$jobs" | tee -a "$summary"
scripts/oclgrind_test.sh build  # korrdepth's device code: every access of every work-item checked
scripts/soak.sh 20000  # headless frames back to back: memory, files, threads and title hold

# The Windows program, cross-built and run under Wine, checked against this build.
scripts/wine_test.sh build | tee -a "$summary"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORRAPP_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
cmake --build build-sanitize -j"$jobs"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  xvfb-run -a "${screen[@]}" ctest --test-dir build-sanitize --output-on-failure -j"$jobs" | tee -a "$summary"

scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

# Every step above stops the script on a failure, so reaching here means all passed.
runs="$(grep -Eo 'tests failed out of [0-9]+' "$summary" | awk '{total += $NF} END {print total + 0}')"
runs=$((runs + $(grep -Eo '^wine_test.sh: [0-9]+ passed' "$summary" | awk '{print $2}')))
skipped="$(grep -c '(Skipped)$' "$summary" || true)"
echo "tests: $((runs - skipped)) passed, 0 failed, $skipped skipped"
