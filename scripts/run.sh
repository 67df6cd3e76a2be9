#!/usr/bin/env bash
# Installs what Keelmend needs, builds it and runs its main job.
#   scripts/run.sh                 repairs the damaged sample in examples/
#   scripts/run.sh FILE.odb...     repairs these files
# With a display the window opens with the files listed; without one the
# command-line tool repairs them into ./repaired (or $KEELMEND_OUT).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KEELMEND_BUILD_DIR:-$top/build}

bash "$top/scripts/install-deps.sh"
KEELMEND_BUILD_DIR=$build bash "$top/scripts/build.sh" -DKEELMEND_BUILD_TESTS=OFF

files=("$@")
if [ "${#files[@]}" -eq 0 ]; then
  files=("$top/examples/damaged_sample.odb")
fi

if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -x "$build/shell/keelmend" ]; then
  exec "$build/shell/keelmend" "${files[@]}"
fi

out=${KEELMEND_OUT:-$PWD/repaired}
mkdir -p "$out"
status=0
"$build/cli/keelmend-cli" repair "${files[@]}" --out "$out" || status=$?
echo
echo "Repaired files are in: $out"
ls -l "$out"
exit "$status"
