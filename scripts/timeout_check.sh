#!/usr/bin/env bash
# Stops each program the way scripts and service managers do, with
# `timeout --preserve-status`, whose SIGTERM reaches the program twice (the program,
# then its process group): every run must end with exit code 0, leave no temporary
# file, and print nothing on standard error but the headless notice. Each program
# runs both on a good pair and while it waits for one (the right view missing), with
# no display and no XDG_RUNTIME_DIR.
#
#   scripts/timeout_check.sh [runs, default 20] [seconds, default 2] [build folder, default build]
set -euo pipefail

runs="${1:-20}"
seconds="${2:-2}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${3:-$root/build}")"
notice="No display could be opened: running headless until interrupted (Ctrl+C)."

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$build/run/im2.bmp" "$build/run/im6.bmp" "$build/run/test.cl" "$build/run/stereo.cl" "$work/"

failures=0
for program in korrapp korrdepth; do
  for pair in good waiting; do
    if [ "$pair" = waiting ]; then mv "$work/im6.bmp" "$work/right.bmp"; fi
    zeros=0
    for ((i = 0; i < runs; ++i)); do
      status=0
      (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER \
        timeout --preserve-status "$seconds" "$build/$program" > "$work/out.txt" 2> "$work/err.txt") || status=$?
      strays="$(cd "$work" && ls -A | grep -E '\.tmp$' || true)"
      if [ "$status" -eq 0 ] && [ -z "$strays" ] && [ "$(cat "$work/err.txt")" = "$notice" ]; then
        zeros=$((zeros + 1))
      else
        echo "$program, $pair pair, run $((i + 1)): exit $status, strays '$strays', stderr:" >&2
        cat "$work/err.txt" >&2
        rm -f "$work"/*.tmp "$work"/.*.tmp
      fi
    done
    if [ "$pair" = waiting ]; then mv "$work/right.bmp" "$work/im6.bmp"; fi
    echo "$program, $pair pair: $zeros of $runs runs ended cleanly with exit code 0"
    failures=$((failures + runs - zeros))
  done
done
[ "$failures" -eq 0 ]
