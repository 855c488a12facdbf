#!/usr/bin/env bash
# Runs one command under a private Xvfb display with Qt's xcb platform, then stops the server.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }

fifo_dir=$(mktemp -d)
trap 'rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo_dir/display" 2>"$fifo_dir/xvfb.log" &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$fifo_dir"' EXIT

# Xvfb tells its display once it accepts clients, or ends. On a busy machine its start (the
# keyboard map is compiled by a program of its own) has taken over 20 s.
display=
if ! read -r -t 90 display <"$fifo_dir/display" || [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  cat "$fifo_dir/xvfb.log" >&2 || true
  exit 1
fi
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
