#!/usr/bin/env bash
# Builds the image-reader fuzz targets with clang in build-fuzz/ and runs each
# for a bounded time. Crashing inputs land in build-fuzz/crashes/.
#
#   scripts/fuzz.sh [seconds per target, default 60]
#
# The starting corpus is the BMP suite and the cones PPM from the shared test data
# (KORRAPP_TESTDATA_DIR, default ../shared/testdata), when present; for PNG and JPEG
# the suite's reference renderings and small files of every form that ImageMagick
# makes here, when it is installed.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
data="${KORRAPP_TESTDATA_DIR:-$root/../shared/testdata}"

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORRAPP_BUILD_FUZZERS=ON -DKORRAPP_BUILD_TESTS=OFF -DKORRAPP_BUILD_BENCHMARKS=OFF \
  -DKORRAPP_PLATFORM=Headless >/dev/null
targets=(bmp_reader_fuzz ppm_reader_fuzz png_reader_fuzz jpeg_reader_fuzz truth_fuzz)
cmake --build "$build" --target "${targets[@]}" -j2

mkdir -p "$build/crashes"
rm -rf "$build/corpus"
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
done
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

if [ -d "$data/bmpsuite/html" ]; then
  cp "$data"/bmpsuite/html/*.png "$build/corpus/png_reader_fuzz/"
  cp "$data"/bmpsuite/html/*.jpg "$build/corpus/jpeg_reader_fuzz/"
fi
if command -v convert >/dev/null; then
  source="$build/corpus/source.png"
  # A colour gradient over a checkerboard: many colours and sharp edges in a few bytes.
  convert -size 37x23 gradient:red-blue \( -size 37x23 pattern:checkerboard \) -compose multiply -composite \
    "$source"
  n=0
  for options in "-colorspace Gray -depth 8" "-colorspace Gray -depth 16" "-colorspace Gray -depth 1" \
      "-colorspace Gray -alpha copy" "-depth 8" "-depth 16" "-alpha copy -depth 16" "-colors 30" \
      "-interlace PNG" "-interlace PNG -alpha copy -depth 16"; do
    convert "$source" $options "png:$build/corpus/png_reader_fuzz/made-$n.png"
    n=$((n + 1))
  done
  convert "$source" -alpha copy -colors 30 "png8:$build/corpus/png_reader_fuzz/made-$n.png"
  for options in "" "-interlace JPEG" "-colorspace Gray" "-colorspace Gray -interlace JPEG" \
      "-sampling-factor 1x1" "-sampling-factor 2x1 -define jpeg:restart-interval=1"; do
    convert "$source" $options "jpg:$build/corpus/jpeg_reader_fuzz/made-$n.jpg"
    n=$((n + 1))
  done
  rm "$source"
else
  echo "fuzz.sh: no ImageMagick; the PNG and JPEG targets start from the BMP suite's renderings alone"
fi
# Truth maps and calibrations: a small PFM of each byte order and the scenes' calib.txt.
printf 'Pf\n2 1\n-1\n\x00\x00\x80\x3f\x00\x00\x80\x7f' > "$build/corpus/truth_fuzz/small-le.pfm"
printf 'Pf\n1 2\n1.0\n\x3f\x80\x00\x00\x41\x20\x00\x00' > "$build/corpus/truth_fuzz/small-be.pfm"
printf 'cam0=[500 0 200; 0 500 180; 0 0 1]\ndoffs=10\nbaseline=120\nndisp=64\n' > "$build/corpus/truth_fuzz/calib.txt"
for calib in "$data"/stereo-modern/middlebury2014-Q/*/calib.txt; do
  [ -f "$calib" ] && cp "$calib" "$build/corpus/truth_fuzz/$(basename "$(dirname "$calib")").txt"
done

status=0
for target in "${targets[@]}"; do
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
