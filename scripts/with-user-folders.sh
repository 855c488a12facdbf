#!/usr/bin/env bash
# Runs one command as a user of its own: fresh data, configuration, cache, state and runtime
# folders, removed afterwards. Every test program runs so: no test reads or writes the folders
# of the user who runs the suite, nor meets the state of another test program beside it.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }

home=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test-user.XXXXXX")
trap 'rm -rf "$home"' EXIT
for folder in data config cache state runtime; do mkdir -m 700 "$home/$folder"; done
export XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
export XDG_STATE_HOME=$home/state XDG_RUNTIME_DIR=$home/runtime
"$@"
