#!/usr/bin/env bash
# Builds the image-reader fuzz targets with clang in build-fuzz/ and runs each
# for a bounded time. Crashing inputs land in build-fuzz/crashes/.
#
#   scripts/fuzz.sh [seconds per target, default 60]
#
# The starting corpus is the BMP suite and the cones PPM from the shared test data
# (KORRAPP_TESTDATA_DIR, default ../shared/testdata), when present.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
data="${KORRAPP_TESTDATA_DIR:-$root/../shared/testdata}"

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORRAPP_BUILD_FUZZERS=ON -DKORRAPP_BUILD_TESTS=OFF -DKORRAPP_BUILD_BENCHMARKS=OFF \
  -DKORRAPP_PLATFORM=Headless >/dev/null
cmake --build "$build" --target bmp_reader_fuzz ppm_reader_fuzz -j2

mkdir -p "$build/crashes"
rm -rf "$build/corpus"
mkdir -p "$build/corpus/bmp_reader_fuzz" "$build/corpus/ppm_reader_fuzz"
if [ -d "$data/bmpsuite" ]; then
  find "$data/bmpsuite" -name '*.bmp' -exec cp {} "$build/corpus/bmp_reader_fuzz/" \;
else
  echo "fuzz.sh: no BMP suite at $data/bmpsuite; the BMP target starts from an empty corpus"
fi
if [ -f "$data/middlebury/cones/im2.ppm" ]; then
  cp "$data/middlebury/cones/im2.ppm" "$build/corpus/ppm_reader_fuzz/"
else
  echo "fuzz.sh: no cones im2.ppm under $data; the PPM target starts from a small header only"
fi
# Headers claiming 16384 x 16384 pixels with almost nothing behind them: uncompressed
# not believed, as RLE beyond the targets' own pixel limit; both refused at once.
info='\x28\x00\x00\x00\x00\x40\x00\x00\x00\x40\x00\x00\x01\x00'
zeros20='\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
printf "BM\x3c\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00${info}\x18\x00\x00\x00\x00\x00${zeros20}\x01\x02\x03\x04\x05\x06" \
  > "$build/corpus/bmp_reader_fuzz/huge-rows.bmp"
printf "BM\x3c\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00${info}\x08\x00\x01\x00\x00\x00${zeros20}\x00\x01" \
  > "$build/corpus/bmp_reader_fuzz/huge-rle.bmp"
# A short file with a comment gives the PPM target header forms to start from.
printf 'P6\n# corpus\n2 2\n255\n0123456789ab' > "$build/corpus/ppm_reader_fuzz/small.ppm"

status=0
for target in bmp_reader_fuzz ppm_reader_fuzz; do
  echo "fuzz.sh: running $target for ${seconds}s"
  # -timeout turns a hang into a reported failure; -max_len keeps inputs small
  # enough for many runs a second while still covering whole headers and rows.
  # Its progress lines go to a log; the summary, or the failure, is shown.
  log="$build/$target.log"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" \
      "$build/corpus/$target" 2> "$log"; then
    grep -E '^(Done|stat::)' "$log"
  else
    tail -n 60 "$log"
    echo "fuzz.sh: $target failed; see $build/crashes/ and $log"
    status=1
  fi
done
exit "$status"
