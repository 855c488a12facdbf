#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
build=${ORVANE_BUILD_DIR:-$here/build}
bin=$build/dist/bin
if [ -x "$bin/orvane" ]; then
  exec "$bin/orvane" "$@"
fi
echo "The player program is not built yet. What the build holds:"
ls -1 "$bin"
