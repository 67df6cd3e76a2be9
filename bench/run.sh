#!/usr/bin/env bash
# Keelmend's benchmark in one command, from a clean clone:
#
#   bash bench/run.sh [bench.py options]
#
# Installs what it measures against when missing (bsdtar, zip), builds the
# project in Release into build-bench/ (or $KEELMEND_BUILD_DIR), builds the
# window benchmark program against that build, makes the inputs under
# $KEELMEND_BENCH_DIR (default /tmp/keelmend-bench), runs everything and
# prints the table with every target as met or not met. The inputs are
# removed at the end (--keep keeps them).
set -euo pipefail
export KEELMEND_BENCH_STARTED=${KEELMEND_BENCH_STARTED:-$(date +%s)}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KEELMEND_BUILD_DIR:-$top/build-bench}

need=()
command -v bsdtar >/dev/null || need+=(libarchive-tools)
command -v zip >/dev/null || need+=(zip)
[[ -x /usr/bin/time ]] || need+=(time)
if ((${#need[@]})); then
  apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

echo "bench: building Keelmend (Release) in $build ..." >&2
KEELMEND_BUILD_DIR=$build bash "$top/scripts/build.sh" \
  -DCMAKE_BUILD_TYPE=Release -DKEELMEND_BUILD_TESTS=OFF >/dev/null

window_args=()
if [[ -f $top/bench/window_bench.cpp ]]; then
  echo "bench: building the window benchmark ..." >&2
  if cmake -S "$top/bench" -B "$build/bench-window" -G Ninja -DCMAKE_BUILD_TYPE=Release \
       -DKEELMEND_BUILD_DIR="$build" >/dev/null &&
     cmake --build "$build/bench-window" -j "$(nproc)" >/dev/null; then
    window_args=(--window "$build/bench-window/keelmend_window_bench")
  else
    window_args=(--window-skip-reason "the window benchmark program did not build")
  fi
else
  window_args=(--window-skip-reason "no window benchmark program")
fi

exec python3 "$top/bench/bench.py" --build "$build" "${window_args[@]}" "$@"
