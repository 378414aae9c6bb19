#!/usr/bin/env bash
# Soak test, run by hand (not part of CI): the viewer on the virtual card for
# HOURS (default 2) in a private home, driven through the card's remote: a
# channel step every minute, a snapshot every 30 s, and a 20-minute recording
# at the start of every hour. Prints the viewer's resident memory (and its
# anonymous part), open files and threads at the start and every 10 minutes,
# and for each recording the audio/video offset at its start and end and the
# frames missing from it.
#
#   scripts/soak.sh [HOURS]
#   scripts/soak.sh --measure FILE...   (only the recordings' figures)
#
# SOAK_SPEED=N runs every interval N times faster (a quick check of the script:
# SOAK_SPEED=60 scripts/soak.sh 0.1). Uses the build in build/; starts Xvfb and
# a PulseAudio server of its own when DISPLAY or a sound server is missing.
set -uo pipefail

# Each recording's streams from their packets (a program stream's stated
# durations are estimates): the offset of the first and of the last packet's
# end between video and audio, and the frames the video's span calls for
# against those stored.
measure() {
  local v a rate
  v=$(ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" | span)
  a=$(ffprobe -v error -select_streams a:0 -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" | span)
  rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "$1")
  echo "$v $a $rate" | awk -v name="$(basename "$1")" '{
    split($7, r, "/"); fps = r[2] ? r[1] / r[2] : 25
    printf "%s: %.1f s, a/v offset at start %+.0f ms, at end %+.0f ms, frames missing %d\n",
      name, $2 - $1, ($1 - $4) * 1000, ($2 - $5) * 1000, ($2 - $1) * fps - $3 + 0.5
  }'
}
# First packet time, end of the last packet, and packet count of one stream.
span() {
  awk -F, '{ n++ } $1 != "N/A" { if (first == "" || $1 < first) first = $1; if ($1 + $2 > end) end = $1 + $2 }
           END { printf "%.6f %.6f %d", first, end, n }'
}

if [ "${1:-}" = "--measure" ]; then
  shift
  for f in "$@"; do measure "$f"; done
  exit 0
fi
hours=${1:-2}
speed=${SOAK_SPEED:-1}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$top/build/bin
[ -x "$bin/orvane" ] && [ -x "$bin/tellura-remote" ] || { echo "soak: build first (scripts/setup.sh build)" >&2; exit 2; }

work=$(mktemp -d /tmp/tellura-soak.XXXXXX)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_STATE_HOME=$work/home/.local/state XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME/Videos" "$HOME/Pictures" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
helpers=()
cleanup() {
  [ -n "${viewer:-}" ] && kill "$viewer" 2>/dev/null
  for p in "${helpers[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  helpers+=($!)
  export DISPLAY=:97
fi
if ! pactl info >/dev/null 2>&1; then
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm \
    -L module-null-sink -L module-native-protocol-unix >/dev/null 2>&1 &
  helpers+=($!)
fi

"$bin/orvane" >"$work/viewer.log" 2>&1 &
viewer=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/quorvel/remote" ] && break; sleep 0.2; done
[ -S "$XDG_RUNTIME_DIR/quorvel/remote" ] || { echo "soak: the viewer did not start; see $work/viewer.log" >&2; exit 1; }

started=$(date +%s)
# Resident memory in all, and its part not backed by files (the heap; the
# rest is mostly the code of libraries, mapped once when first used).
sample() {
  local rss anon fds threads
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$viewer/status" 2>/dev/null)
  anon=$(awk '/^RssAnon/ {print $2}' "/proc/$viewer/status" 2>/dev/null)
  fds=$(ls "/proc/$viewer/fd" 2>/dev/null | wc -l)
  threads=$(ls "/proc/$viewer/task" 2>/dev/null | wc -l)
  printf '%6.1f min  resident %6d kB (anonymous %6d kB)  files %3d  threads %3d\n' \
    "$(echo "($(date +%s) - $started) * $speed / 60" | bc -l)" "${rss:-0}" "${anon:-0}" "$fds" "$threads"
}
key() { "$bin/tellura-remote" "$1" >/dev/null 2>&1 || echo "soak: remote key $1 failed" >&2; }

echo "soak: $hours h (speed x$speed), home $HOME"
sleep 5  # the preview and the sound settle
sample
ticks=$(echo "$hours * 120 / 1" | bc)   # one tick = 30 s of soak time
recording=0
for ((t = 0; t < ticks; ++t)); do
  kill -0 "$viewer" 2>/dev/null || { echo "soak: the viewer ended; see $work/viewer.log" >&2; exit 1; }
  if [ $((t % 120)) -eq 0 ] && [ $recording -eq 0 ]; then key record; recording=1; fi
  if [ $((t % 120)) -eq 40 ] && [ $recording -eq 1 ]; then key record; recording=0; fi
  key snapshot
  [ $((t % 2)) -eq 1 ] && key next
  sleep "$(echo "30 / $speed" | bc -l)"
  [ $(((t + 1) % 20)) -eq 0 ] && sample
done
[ $recording -eq 1 ] && key record && sleep 3
[ $((ticks % 20)) -eq 0 ] || sample
kill "$viewer" && wait "$viewer" 2>/dev/null
viewer=

echo "snapshots: $(find "$HOME/Pictures" -type f | wc -l) files"
for f in "$HOME"/Videos/*; do
  [ -f "$f" ] && measure "$f"
done
