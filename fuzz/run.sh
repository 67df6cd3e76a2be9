#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the regression inputs in
# fuzz/regressions/<target>/ and then fuzzes each target for SECONDS.
#
#   fuzz/run.sh SECONDS            every target, SECONDS each (e.g. 60, 3600)
#   fuzz/run.sh SECONDS TARGET...  only these targets
#
# Build dir: $KEELMEND_FUZZ_BUILD_DIR (default build-h-fuzz). The working
# corpus grows in <build>/corpus/<target>, findings land in
# <build>/findings/<target>/ (crash-*, timeout-*, leak-*, oom-*). Exit status
# 1 when any target found something; the input's path is printed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KEELMEND_FUZZ_BUILD_DIR:-$top/build-h-fuzz}
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(scan_extract_fuzzer manifest_fuzzer writer_fuzzer)

# libFuzzer comes with Debian's clang and its runtime package.
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "ok installed"; then
  [ "$(id -u)" -eq 0 ] || { echo "fuzz/run.sh: needs clang and libclang-rt-14-dev (run as root)" >&2; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKEELMEND_FUZZ=ON -DKEELMEND_SANITIZE=address,undefined \
  -DKEELMEND_BUILD_GUI=OFF -DKEELMEND_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

seeds=$build/seeds
[ -d "$seeds/scan_extract_fuzzer" ] || python3 "$top/fuzz/make_seeds.py" "$seeds"

# Each input is written to and extracted into a scratch folder: on a tmpfs
# when there is one, so the disk's journal does not set the pace.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The largest input each target takes, the time one input may run and the
# memory it may use: a hang or an oversized allocation counts as a finding.
limits=(-timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1)
declare -A max_len=([scan_extract_fuzzer]=262144 [manifest_fuzzer]=16384 [writer_fuzzer]=65536)

status=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  regressions=$top/fuzz/regressions/$t
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    echo "== $t: replaying $(ls "$regressions" | wc -l) regression inputs"
    "$build/fuzz/$t" "${limits[@]}" "$regressions"/* || status=1
  fi
  echo "== $t: fuzzing for $seconds s"
  dict=$top/fuzz/$t.dict
  dict_arg=()
  [ -f "$dict" ] && dict_arg=(-dict="$dict")
  if ! "$build/fuzz/$t" "${limits[@]}" "${dict_arg[@]}" -max_len="${max_len[$t]}" \
      -max_total_time="$seconds" -artifact_prefix="$findings/" "$corpus" "$seeds/$t" \
      >"$build/findings/$t.log" 2>&1; then
    status=1
    echo "== $t: FINDING (log: $build/findings/$t.log)"
    ls "$findings"
  fi
  grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$build/findings/$t.log" | tail -2 || true
done
exit $status
