#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Tests that need a display
# start their own Xvfb (scripts/with-xvfb.sh), so nothing else has to be running.
#
# The built install folder (dist/) is read-only to the tests, as an installed one is to its
# users: its fingerprint (every path with its kind, size and modification time) is taken after
# the build, and the run fails, naming what changed, when the tests changed it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
# Absolute, since the tests run from inside it: a relative build folder names the one the build
# script used, seen from where this was started.
build=$(realpath -m "${ORVANE_BUILD_DIR:-$here/build}")

fingerprint() {
  (cd "$build/dist" && find . -printf '%p\t%y %s %T@\n' | LC_ALL=C sort)
}
before=$(mktemp)
after=$(mktemp)
trap 'rm -f "$before" "$after"' EXIT
fingerprint >"$before"

cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" "$@" || status=$?

fingerprint >"$after"
changed=$(LC_ALL=C comm -3 "$before" "$after" | sed 's/^\t//' | cut -f1 | LC_ALL=C sort -u)
if [ -n "$changed" ]; then
  echo "The tests changed the install folder $build/dist (tests must not write there):" >&2
  while IFS= read -r path; do echo "  $path" >&2; done <<<"$changed"
  exit 1
fi
exit "$status"
