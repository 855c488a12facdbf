#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Tests that need a display
# start their own Xvfb (scripts/with-xvfb.sh), so nothing else has to be running.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
build=${ORVANE_BUILD_DIR:-$here/build}
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
