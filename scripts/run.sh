#!/usr/bin/env bash
# Installs what is missing, builds, and plays a video in the player's window.
#
#   bash scripts/run.sh            plays a built-in sample through the torrent road: a short
#                                  video, a torrent of it seeded on 127.0.0.1, the player's own
#                                  BT server streaming it
#   bash scripts/run.sh <what>     plays a video file, a URL, a magnet link or a torrent file
#
# With a display the window opens and stays until it is closed. Without one the player runs
# under a private Xvfb, plays for a few seconds, prints what it showed and saves a screenshot
# ($ORVANE_SCREENSHOT, else build/run-screenshot.png); the exit code is 0 only when frames
# were shown.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
build=${ORVANE_BUILD_DIR:-$here/build}
bin=$(realpath "$build/dist/bin")
[ $# -le 1 ] || { echo "usage: $0 [video file | URL | magnet link | torrent file]" >&2; exit 2; }

# Pages and the host program create the two controls by class id: register them for the user.
for control in liborvane_ax.so libaxorvane.so; do
  "$bin/regsvr" -n -i:user "$bin/$control" >/dev/null
done

work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-run.XXXXXX")
seeder_pid=
runtime=

# Ends what this run started: the seeder, and without a display the BT server that the player
# started in this run's private runtime folder (with a display it stays, as it does for the
# player anywhere).
cleanup() {
  if [ -n "$seeder_pid" ]; then
    exec {seeder_in}>&- || true
    wait "$seeder_pid" 2>/dev/null || true
  fi
  if [ -n "$runtime" ]; then
    for proc in /proc/[0-9]*; do
      [ "$(readlink "$proc/exe" 2>/dev/null)" = "$bin/orvane" ] || continue
      tr '\0' '\n' <"$proc/cmdline" 2>/dev/null | grep -qx -- -startbt || continue
      tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$runtime" || continue
      kill "${proc#/proc/}" 2>/dev/null || true
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The built-in sample: made once, a torrent of it made and seeded on every run (the torrent
# names this run's loopback tracker, through which the player finds the seeder).
seed_sample() {
  local sample=$build/sample/sample.mp4
  if [ ! -s "$sample" ]; then
    echo "Making the sample video $sample"
    mkdir -p "$build/sample"
    ffmpeg -v error -y -f lavfi -i testsrc2=size=640x360:rate=25 \
      -f lavfi -i sine=frequency=440:sample_rate=44100 -t 12 \
      -c:v libx264 -pix_fmt yuv420p -c:a aac -movflags +faststart "$build/sample/making.mp4"
    mv "$build/sample/making.mp4" "$sample"
  fi
  mkfifo "$work/seeder.in"
  # Sending 256 KiB/s, the seeder lets the stream's progress show while the video plays.
  "$bin/kvbt_seed" --tracker --upload-limit 262144 "$sample" "$work/sample.torrent" \
    <"$work/seeder.in" >"$work/seeder.out" 2>&1 &
  seeder_pid=$!
  exec {seeder_in}>"$work/seeder.in"  # the seeder seeds until this closes
  for _ in $(seq 600); do
    grep -q '^magnet ' "$work/seeder.out" && break
    kill -0 "$seeder_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^magnet ' "$work/seeder.out" || { cat "$work/seeder.out" >&2; echo "the seeder did not start" >&2; exit 1; }
  echo "Seeding $sample on 127.0.0.1 (torrent $work/sample.torrent, $(grep '^port ' "$work/seeder.out"))"
}

if [ $# -eq 0 ]; then
  seed_sample
  target=$work/sample.torrent
else
  target=$1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$bin/orvane" "$target"
  exit $?
fi

# No display: a private Xvfb and private runtime and temporary folders, so that the BT server
# the player starts is this run's own and is ended with it.
runtime=$work/runtime
mkdir -p "$runtime" "$work/tmp"
chmod 700 "$runtime"
screenshot=${ORVANE_SCREENSHOT:-$build/run-screenshot.png}
echo "No display: playing $target under a private Xvfb for a few seconds"
set +e
: >"$work/player.out"  # there before the report is followed, however late the player starts
XDG_RUNTIME_DIR=$runtime TMPDIR=$work/tmp ORVANE_PLAY_REPORT=$screenshot \
  timeout 300 bash "$here/scripts/with-xvfb.sh" "$bin/orvane" "$target" \
  >"$work/player.out" 2>"$work/player.log" &
player=$!
# What the player reports, as it comes; the rest of its output (and its BT server's) is kept in
# the log.
tail -n +1 -f --pid="$player" "$work/player.out" | grep --line-buffered '^\[ *[0-9]* ms\]'
wait "$player"
status=$?
set -e
if [ "$status" -ne 0 ]; then
  echo "The player showed no frames (exit code $status); its last output:" >&2
  tail -n 30 "$work/player.log" >&2
fi
exit "$status"
