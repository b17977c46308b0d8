#!/usr/bin/env bash
# Runs the demonstrator headless, frame after frame, in a folder of its own, and
# checks that it holds: resident memory, open files and threads flat after warm-up;
# the title's running means finite and in line with the frame rate seen from
# outside; and SIGTERM ending it within about one frame, with exit code 0.
#
#   scripts/soak.sh [frames, default 100000] [program, default build/korrapp]
#
# The program's own run folder (beside it) supplies test.cl and the pair. Frames
# are counted from the bytes the process has written (/proc/PID/io), one depth.bmp
# each; the title is read from the status line it shows on a terminal, which
# `script` gives it. SOAK_RSS_SLACK_KB (default 2048) is the growth of resident
# memory tolerated between the start and the end of the run after warm-up.
set -euo pipefail

frames="${1:-100000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${2:-$root/build/korrapp}")"
run_dir="$(dirname "$program")/run"
rss_slack_kb="${SOAK_RSS_SLACK_KB:-2048}"
warmup_frames=$((frames / 10))
signal_slack_ms=50

fail() {
  echo "soak.sh: $*" >&2
  exit 1
}

work="$(mktemp -d)"
said() {
  echo "the program said:"
  tr '\r' '\n' < "$work/typescript" | tail -n 20
}
script_pid=""
cleanup() {
  if [ -n "$script_pid" ] && kill -0 "$script_pid" 2>/dev/null; then
    if [ -s "$work/pid" ]; then kill -KILL "$(cat "$work/pid")" 2>/dev/null || true; fi
    wait "$script_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

for name in test.cl im2.bmp im6.bmp; do
  cp "$run_dir/$name" "$work/" || fail "no $name in $run_dir: build the program first"
done

# Every frame writes one depth.bmp: 24-bit rows padded to 4 bytes after a 54-byte header.
read -r width height < <(od -An -t d4 -j 18 -N 8 "$work/im2.bmp")
out_width=$((width / 2))
out_height=$(((height < 0 ? -height : height) / 2))
depth_bytes=$((54 + (out_width * 3 + 3) / 4 * 4 * out_height))

# No display, whatever this session has: the program runs headless. Under `script`
# its standard streams are a terminal, so the title shows as a status line.
(
  cd "$work"
  exec env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=no-such-driver SHELL=/bin/sh \
    script -qefc "echo \$\$ > pid && exec '$program'" typescript < /dev/null > /dev/null
) &
script_pid=$!

for _ in $(seq 600); do
  [ -s "$work/pid" ] && [ -e "$work/depth.bmp" ] && break
  kill -0 "$script_pid" 2>/dev/null || break
  sleep 0.1
done
[ -e "$work/depth.bmp" ] || fail "no frame ran; $(said)"
pid="$(cat "$work/pid")"

written() { awk '/^wchar:/ {print $2}' "/proc/$pid/io"; }
status_field() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$pid/status"; }

# One line per sample: frames, milliseconds, resident kB, open files, threads.
start_bytes="$(written)"
start_ns="$(date +%s%N)"
echo "soak.sh: $frames frames of $program (depth.bmp $depth_bytes bytes), warm-up $warmup_frames"
done_frames=0
stalled=0
while [ "$done_frames" -lt "$frames" ]; do
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || fail "the program ended by itself after about $done_frames frames; $(said)"
  previous=$done_frames
  done_frames=$((($(written) - start_bytes) / depth_bytes))
  stalled=$((done_frames == previous ? stalled + 1 : 0))
  [ "$stalled" -lt 60 ] || fail "no frame for 30 s after about $done_frames frames"
  fds="$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 | wc -l)"
  echo "$done_frames $((($(date +%s%N) - start_ns) / 1000000)) $(status_field VmRSS) $fds $(status_field Threads)" \
    >> "$work/samples"
done

stop_ns="$(date +%s%N)"
kill -TERM "$pid"
for _ in $(seq 1000); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.01
done
exit_ns="$(date +%s%N)"
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after SIGTERM"
exit_code=0
wait "$script_pid" || exit_code=$?
script_pid=""
last_write_ns="$(stat -c %.9Y "$work/depth.bmp" | tr -d .)"

elapsed_s="$(awk -v ns=$((stop_ns - start_ns)) 'BEGIN {printf "%.1f", ns / 1e9}')"
echo "soak.sh: $done_frames frames in $elapsed_s s after the first"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after SIGTERM"

# Resources: flat once warm. Threads exactly; open files within one that a frame
# may hold open at the moment of sampling; memory within the slack.
awk -v warm="$warmup_frames" -v slack="$rss_slack_kb" '
  $1 >= warm { n++; frames[n] = $1; rss[n] = $3; fds[n] = $4; threads[n] = $5 }
  END {
    if (n < 4) { print "soak.sh: too few samples after warm-up (" n ")"; exit 1 }
    quarter = int(n / 4)
    for (i = 1; i <= n; i++) {
      if (i <= quarter && rss[i] > early) early = rss[i]
      if (i > n - quarter && rss[i] > late) late = rss[i]
      if (i == 1 || fds[i] < fd_min) fd_min = fds[i]
      if (fds[i] > fd_max) fd_max = fds[i]
      if (threads[i] != threads[1]) { print "soak.sh: threads went from " threads[1] " to " threads[i] " by frame " frames[i]; bad = 1 }
    }
    printf "soak.sh: %d samples after warm-up: resident %.1f -> %.1f MiB, open files %d to %d, threads %d\n", n, early / 1024, late / 1024, fd_min, fd_max, threads[1]
    if (late > early + slack) { print "soak.sh: resident memory grew by " late - early " kB"; bad = 1 }
    if (fd_max > fd_min + 1) { print "soak.sh: open files grew from " fd_min " to " fd_max; bad = 1 }
    exit bad
  }' "$work/samples" || fail "resources are not flat"

# The title: "Fps: <rate> - <time> s, <mean rate> - <mean time> s", sampled every
# quarter of a second. The means must be finite, agree with each other, and match
# the frame rate seen from outside: frames run back to back, so the mean frame time
# is nearly all of the wall-clock time per frame.
tr '\r' '\n' < "$work/typescript" | awk -v frames="$done_frames" -v ms="$(((stop_ns - start_ns) / 1000000))" '
  function finite(x) { return x ~ /^[0-9]+(\.[0-9]+)?$/ }
  /^Fps: / {
    sub(/\033\[K.*/, "")
    mean_rate = $6; mean_time = $8; n++
    if (!finite(mean_rate) || !finite(mean_time) || mean_rate <= 0 || mean_time <= 0) { print "soak.sh: title not finite: " $0; bad = 1 }
    else if (mean_rate * mean_time < 0.99 || mean_rate * mean_time > 1.01) { print "soak.sh: means disagree: " $0; bad = 1 }
    last = $0
  }
  END {
    if (n == 0) { print "soak.sh: no title was shown"; exit 1 }
    wall = ms / 1000 / frames
    printf "soak.sh: %d titles, the last: %s\n", n, last
    printf "soak.sh: mean frame time %.3f ms in the title, %.3f ms of wall-clock time per frame\n", mean_time * 1000, wall * 1000
    if (mean_time < 0.8 * wall || mean_time > 1.2 * wall) { print "soak.sh: the title does not match the frame rate"; bad = 1 }
    exit bad
  }' || fail "the title's means are not plausible"

# Stopping: the frame running when the signal came may finish, no other may start.
frame_ms="$(awk -v ms="$(((stop_ns - start_ns) / 1000000))" -v f="$done_frames" 'BEGIN {printf "%.3f", ms / f}')"
awk -v last=$(((last_write_ns - stop_ns) / 1000)) -v exit_us=$(((exit_ns - stop_ns) / 1000)) \
    -v frame="$frame_ms" -v slack="$signal_slack_ms" 'BEGIN {
  printf "soak.sh: after SIGTERM, the last depth.bmp was written at %.1f ms and the process ended at %.1f ms (a frame takes %s ms)\n", last / 1000, exit_us / 1000, frame
  exit (last / 1000 > frame + slack || exit_us > 5e6)
}' || fail "SIGTERM did not end the run within one frame"
echo "soak.sh: passed"
