#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 into build-win/ and runs it under
# Wine on an X display of its own, each run in a temporary folder holding the sample
# pair and test.cl. Checks that:
#   - the executable carries icon 101 (one 32 x 32 image of 16 colours) and its manifest;
#   - the window gets the frame-rate title and shows depth.bmp's pixels at the top-left
#     corner of its client area;
#   - the close request that a window manager sends ends the program with exit code 0;
#   - depth.bmp is byte for byte what the Linux program writes for the same pair;
#   - korrdepth.exe reads a PNG pair (the sample pair, converted here by ImageMagick:
#     the left view 8-bit, the right one 16-bit) to the Linux korrdepth's PFM, byte
#     for byte;
#   - log.txt of the build with the log-file sink on holds the Linux program's report;
#   - a failed setup shows its reason in a message box, and the program ends once the
#     box is closed.
#
#   scripts/wine_test.sh [Linux build folder, default build]
#
# The Linux build gives the reference run (korrapp) and the close request
# (tests/x11_close_window); scripts/test.sh builds it first.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
linux_build="$(cd "${1:-$root/build}" && pwd)"

# A display of its own, 24 bits deep so that a screenshot holds the exact colours,
# and with no window manager and no other window in the way. It never resets: a reset
# when the last of the checks' short-lived clients leaves would drop Wine's windows
# still connecting.
if [ -z "${KORRAPP_WINE_TEST_DISPLAY:-}" ]; then
  export KORRAPP_WINE_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1600x900x24 -noreset" "$BASH" "$0" "$linux_build"
fi

build="$root/build-win"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
close_window="$linux_build/tests/x11_close_window"
for tool in "$wine" "$wineserver" "$linux_build/korrapp" "$linux_build/korrdepth" "$close_window"; do
  if [ ! -x "$tool" ]; then
    echo "wine_test.sh: $tool is missing: run scripts/install_deps.sh and build $linux_build" >&2
    exit 1
  fi
done

tmp="$(mktemp -d)"
mkdir "$tmp/prefix"
# Nothing is downloaded (no Mono, no Gecko), and Wine says nothing on standard error.
export WINEPREFIX="$tmp/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's background processes keep the standard error of whichever command started
# them, so the server starts first, on output of its own, and is ended at exit.
"$wineserver" -p >"$tmp/wineserver.log" 2>&1
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # check WHAT COMMAND...: runs the command and counts the outcome
  local what="$1"
  shift
  if "$@"; then
    echo "wine_test.sh: ok: $what"
    passed=$((passed + 1))
  else
    echo "wine_test.sh: FAILED: $what"
    failed=$((failed + 1))
  fi
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      return 1
    fi
    sleep 0.2
  done
}

run_folder() {  # run_folder NAME [FILE...]: a fresh folder holding those files of the build's run folder
  mkdir "$tmp/$1"
  local name="$1"
  shift
  for file in "$@"; do
    cp "$build/run/$file" "$tmp/$name/"
  done
  echo "$tmp/$name"
}

# Under a pseudo-terminal the console that the program opens goes to the terminal
# instead of a console window over the picture.
start_program() {  # start_program EXE FOLDER: sets program_pid
  (cd "$2" && exec script -qefc "$(printf '%q ' "$wine" "$1")" /dev/null) >"$2.console" 2>&1 </dev/null &
  program_pid=$!
}

window=""
find_window() {  # find_window TITLE_REGEX: sets window to the first match
  window="$(xdotool search --name "$1" 2>/dev/null | head -n 1)" && [ -n "$window" ]
}

program_ended() {
  ! kill -0 "$program_pid" 2>/dev/null
}

# close_and_wait WINDOW: closes it as a window manager would and waits for the
# program to end; sets status. False when the program had to be killed.
close_and_wait() {
  "$close_window" "$1"
  local ended=0
  wait_for 60 program_ended || { kill "$program_pid"; ended=1; }
  status=0
  wait "$program_pid" || status=$?
  return "$ended"
}

# The window's icon as Wine hands it to X (width, height, then ARGB pixels): icon 101
# as LoadIconA found it, pixel for pixel the project's icon file.
window_icon_is_ours() {
  local shown expected
  shown="$(xprop -id "$window" -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON | sed 's/^[^=]*= //' |
    tr -d ' ' | tr ',' '\n' | head -n 1026)"
  expected="$(printf '32\n32\n'; convert "$root/app/korrapp.ico" -depth 8 rgba:- |
    od -An -v -tu1 -w4 | awk '{printf "%.0f\n", $4 * 16777216 + $1 * 65536 + $2 * 256 + $3}')"
  [ "$shown" = "$expected" ]
}

frame_title='^Fps: [0-9]+\.[0-9]{6} - [0-9]+\.[0-9]{6} s, [0-9]+\.[0-9]{6} - [0-9]+\.[0-9]{6} s$'
title=""
frame_title_shown() {
  find_window '^Fps: ' && title="$(xdotool getwindowname "$window")" && [[ $title =~ $frame_title ]]
}

# The build runs the sample pair generator through Wine, so the prefix is made first,
# with its output apart.
echo "wine_test.sh: making a Wine prefix"
"$wine" wineboot --init >"$tmp/wineboot.log" 2>&1

echo "wine_test.sh: cross-building in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$tmp/configure.log" || { cat "$tmp/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" --target all korrapp_logfile

# --- the executable's resources ---
resources="$(x86_64-w64-mingw32-windres --input "$build/korrapp.exe" --output-format rc)"
icon_group="$(grep -A 4 '^101 14 ' <<<"$resources" || true)"
one_small_icon() {  # one image: width 32, height 32, 16 colours; 1 plane, 4 bits per pixel
  grep -qF 'Has 1 elements' <<<"$icon_group" && grep -qF '"\040\040\020\000", 1, 4,' <<<"$icon_group"
}
check "icon 101 holds one image of 32 x 32 pixels, 16 colours at 4 bits each" one_small_icon
manifest="$(sed -n '/^1 24 /,/^END/p' <<<"$resources")"
check "the manifest asks for asInvoker without uiAccess" \
  grep -qF -e 'level=""asInvoker"" uiAccess=""false""' <<<"$manifest"

# --- the Linux program on the same pair: the reference ---
pair=(test.cl im2.bmp im6.bmp)
check "the sample pair generator wrote the Linux build's bytes" \
  cmp -s "$build/run/im2.bmp" "$linux_build/run/im2.bmp"
reference="$(run_folder linux "${pair[@]}")"
(cd "$reference" && SDL_VIDEODRIVER=no-such-driver exec "$linux_build/korrapp" >report.txt 2>/dev/null) &
linux_pid=$!
wait_for 60 test -s "$reference/depth.bmp" || true
kill -TERM "$linux_pid"
linux_status=0
wait "$linux_pid" || linux_status=$?
if [ "$linux_status" -ne 0 ] || [ ! -s "$reference/depth.bmp" ]; then
  echo "wine_test.sh: the Linux program gave no reference (exit code $linux_status)" >&2
  exit 1
fi
read -r depth_width depth_height < <(identify -format '%w %h\n' "$reference/depth.bmp")

# --- the program under Wine ---
run="$(run_folder run "${pair[@]}")"
start_program "$build/korrapp.exe" "$run"
if wait_for 120 frame_title_shown; then
  check "the frame-rate title: $title" true
  check "the window's icon is icon 101" window_icon_is_ours
  # Without a window manager, Wine's X window is the client area.
  import -window "$window" -depth 8 "$tmp/shot.ppm"
  convert "$tmp/shot.ppm" -crop "${depth_width}x${depth_height}+0+0" +repage "$tmp/corner.ppm"
  differing="$(compare -metric AE "$tmp/corner.ppm" "$reference/depth.bmp" null: 2>&1 || true)"
  check "the client area's top-left corner shows depth.bmp (differing pixels: $differing)" \
    test "$differing" = 0
  ended=true
  close_and_wait "$window" || ended=false
  check "closed as by a window manager: ended $ended, exit code $status" test "$ended/$status" = true/0
else
  check "a window with the frame-rate title (last title: '$title')" false
  cat "$run.console"
fi
check "depth.bmp is byte for byte the Linux program's" cmp "$run/depth.bmp" "$reference/depth.bmp"

# --- korrdepth on a PNG pair ---
png_pair() {  # png_pair FOLDER: the sample pair as PNG files, beside stereo.cl
  convert "$build/run/im2.bmp" -depth 8 "png:$1/left.png" &&
    convert "$build/run/im6.bmp" -depth 16 "png:$1/right.png"
}
depth_arguments=(--once --left left.png --right right.png --pfm out.pfm)
png_reference="$(run_folder pnglinux stereo.cl)"
png_pair "$png_reference"
(cd "$png_reference" && SDL_VIDEODRIVER=no-such-driver exec "$linux_build/korrdepth" "${depth_arguments[@]}") \
  >"$png_reference.console" 2>&1 || true
png_run="$(run_folder pngrun stereo.cl)"
png_pair "$png_run"
(cd "$png_run" && exec timeout 120 "$wine" "$build/korrdepth.exe" "${depth_arguments[@]}") >"$png_run.console" 2>&1 ||
  cat "$png_run.console"
png_pfm_same() {
  test -s "$png_reference/out.pfm" && cmp "$png_run/out.pfm" "$png_reference/out.pfm"
}
check "korrdepth.exe reads a PNG pair to the Linux korrdepth's PFM, byte for byte" png_pfm_same

# --- the report, through the log-file sink ---
logrun="$(run_folder logrun "${pair[@]}")"
start_program "$build/korrapp_logfile.exe" "$logrun"
if wait_for 60 frame_title_shown; then
  close_and_wait "$window" || true
else
  echo "wine_test.sh: no frame-rate title within 60 s; the program printed:"
  cat "$logrun.console"
fi
check "log.txt holds the report that the Linux program prints" \
  diff <(tr -d '\r' <"$logrun/log.txt") "$reference/report.txt"

# --- a failed setup: no test.cl ---
failrun="$(run_folder failrun im2.bmp im6.bmp)"
start_program "$build/korrapp.exe" "$failrun"
if wait_for 60 find_window '^---Veskaro---$'; then
  check "a failed setup shows a message box" true
  ended=true
  close_and_wait "$window" || ended=false
  # The exit code of a failed setup is the entry's business; here only that it ends.
  check "the program ends once the box is closed (exit code $status)" "$ended"
else
  check "a failed setup shows a message box" false
fi

echo "wine_test.sh: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
