#!/usr/bin/env bash
# korrdepth's device code under Oclgrind, which checks every access of every
# work-item: small random-dot pairs of odd and even sizes at several ranges, with the
# data-race check, and the whole cones pair on a small device (32 KB of local memory,
# work-groups of 256); and the stage test, each kernel against its twin. Fails on any
# report of Oclgrind's, on a stage unlike its twin, and on disparities that differ
# from the machine's own OpenCL device: on the small pairs to 1e-3 px on 99.9 % of the
# pixels, on cones by more than 0.5 points of bad-1.0.
#   scripts/oclgrind_test.sh [BUILD_DIR]   (default build; its korrdepth, tools and tests)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
# The shared test data the build was configured with.
data="$(sed -n 's/^KORRAPP_TESTDATA_DIR:PATH=//p' "$build/CMakeCache.txt")"
cones="$data/middlebury/cones"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$build/run/stereo.cl" "$work/"
cd "$work"

failures=0
# check NAME LEFT RIGHT RANGE TRUTH OCLGRIND_OPTIONS...: one pair on both devices.
check() {
    local name="$1" left="$2" right="$3" range="$4" truth="$5"
    shift 5
    local args=(--once --max-disparity "$range" --left "$left" --right "$right" --output "$name.bmp")
    if ! "$build/korrdepth" "${args[@]}" --pfm "$name-device.pfm" >"$name-device.txt" 2>&1; then
        echo "oclgrind_test.sh: $name: korrdepth failed on the device"; cat "$name-device.txt"
        failures=$((failures + 1)); return
    fi
    if ! oclgrind --check-api --log "$name-oclgrind.log" "$@" \
        "$build/korrdepth" "${args[@]}" --pfm "$name-oclgrind.pfm" >"$name-oclgrind.txt" 2>&1; then
        echo "oclgrind_test.sh: $name: korrdepth failed under Oclgrind"; cat "$name-oclgrind.txt"
        failures=$((failures + 1)); return
    fi
    if [ -s "$name-oclgrind.log" ]; then
        echo "oclgrind_test.sh: $name: Oclgrind reports $(grep -c '^[A-Z]' "$name-oclgrind.log") problems:"
        head -40 "$name-oclgrind.log"
        failures=$((failures + 1)); return
    fi
    local compare=("$build/tests/disparity_compare")
    [ -n "$truth" ] && compare+=(--truth "$truth" 4)
    if ! result="$("${compare[@]}" "$name-device.pfm" "$name-oclgrind.pfm")"; then
        echo "oclgrind_test.sh: $name: Oclgrind's disparities differ from the device's: $result"
        failures=$((failures + 1)); return
    fi
    echo "oclgrind_test.sh: $name: no reports; $result"
}

# Each kernel against its plain twin, as the stage test runs it on the device: a
# kernel that a compiler reads otherwise shows here by name.
if oclgrind --log stages-oclgrind.log "$build/tests/depth_tests" --gtest_filter='StereoStages*' >stages.txt 2>&1 &&
    [ ! -s stages-oclgrind.log ]; then
    echo "oclgrind_test.sh: stage twins: no reports, every stage as its twin"
else
    echo "oclgrind_test.sh: stage twins under Oclgrind:"; grep -A6 'Failure' stages.txt; head -20 stages-oclgrind.log
    failures=$((failures + 1))
fi

# WIDTH HEIGHT BACKGROUND FRONT RANGE: odd and even sizes, a front rectangle whose
# candidates differ from its neighbours', matches that fall left of the right view, and
# ranges of four and five pyramid levels.
for pair in "61 37 5 11 16" "96 64 9 20 32" "80 41 3 0 63" "47 16 2 6 8" "250 40 40 90 200"; do
    read -r width height back front range <<<"$pair"
    name="dots-$width-$height-$range"
    "$build/tools/make_random_dot_pair" "$width" "$height" "$back" "$front" "$name-l.ppm" "$name-r.ppm"
    check "$name" "$name-l.ppm" "$name-r.ppm" "$range" "" --data-races
done

if [ -f "$cones/im2.bmp" ]; then
    check cones "$cones/im2.bmp" "$cones/im6.bmp" 64 "$cones/disp2.png" --local-mem-size 32768 --max-wgsize 256
else
    echo "oclgrind_test.sh: cones skipped: no $cones/im2.bmp"
fi

if [ "$failures" -ne 0 ]; then
    echo "oclgrind_test.sh: $failures failed"
    exit 1
fi
echo "oclgrind_test.sh: all passed"
