#!/usr/bin/env bash
# Builds and runs the test suite under the sanitizers, each in its own build
# dir:
#   asan  the whole suite with AddressSanitizer + UndefinedBehaviorSanitizer
#         (LeakSanitizer included), GUI tests too; LibreOffice is left to the
#         normal build (the judge runs the office, not our code under test)
#   tsan  the threaded tests with ThreadSanitizer: chunked deflate, writer,
#         packer, repair/save jobs, the failing-environment cases, and the
#         window's repair and save jobs on their worker thread. Debian's Qt is
#         not built with ThreadSanitizer, so the locking inside its event queue
#         is invisible to it; reports from within the Qt libraries are
#         suppressed (our own code, the view and the job sinks included, stays
#         instrumented).
#
#   scripts/test-sanitizers.sh [asan|tsan|all]      (default all)
# Build dirs: $KEELMEND_ASAN_BUILD_DIR (build-h-asan), $KEELMEND_TSAN_BUILD_DIR
# (build-h-tsan).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
jobs=$(nproc)

configure() {  # build-dir sanitizers [cmake args...]
  local dir=$1 sanitizers=$2
  shift 2
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
    -DKEELMEND_SANITIZE="$sanitizers" -DKEELMEND_BUILD_TESTS=ON "$@" >/dev/null
}

# Leaks inside system libraries the tests load (fontconfig, the offscreen
# platform plugin, glib) are not ours.
write_suppressions() {  # build-dir
  cat >"$1/lsan.supp" <<'SUPP'
leak:libfontconfig.so
leak:libglib-2.0.so
leak:libQt6Gui.so
leak:libQt6Widgets.so
leak:libqoffscreen.so
leak:libdbus-1.so
SUPP
}

run_asan() {
  local dir=${KEELMEND_ASAN_BUILD_DIR:-$top/build-h-asan}
  configure "$dir" address,undefined
  cmake --build "$dir" -j "$jobs"
  write_suppressions "$dir"
  # The 4 GiB-claim death test caps the address space with RLIMIT_AS, which
  # AddressSanitizer's shadow memory cannot live with; the hostile-input test
  # checks the same claim by the size of every allocation instead.
  (cd "$dir" && QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1 \
    LSAN_OPTIONS=suppressions=$dir/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j "$jobs" -E 'libreoffice_judge|ExtractEntriesDeathTest')
}

# The threaded tests, by executable.
tsan_tests=(parallel_deflate_test zip_writer_test folder_packer_test repair_pipeline_test
            failing_environment_test workspace_repair_job_test workspace_save_job_test)
# Qt's own code is not instrumented: its internal synchronisation would show
# up as races in every cross-thread call.
write_tsan_suppressions() {  # build-dir
  cat >"$1/tsan.supp" <<'SUPP'
called_from_lib:libQt6Core.so.6
called_from_lib:libQt6Gui.so.6
called_from_lib:libQt6Widgets.so.6
called_from_lib:libQt6Test.so.6
called_from_lib:libqoffscreen.so
race:libQt6Core.so.6
race:libQt6Gui.so.6
race:libQt6Widgets.so.6
race:libQt6Test.so.6
deadlock:libQt6Core.so.6
SUPP
}

run_tsan() {
  local dir=${KEELMEND_TSAN_BUILD_DIR:-$top/build-h-tsan}
  configure "$dir" thread
  local targets=("${tsan_tests[@]}") t
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  write_tsan_suppressions "$dir"
  local failed=0 exe
  for t in "${targets[@]}"; do
    exe=$(find "$dir/tests" -maxdepth 1 -type f -name "$t" | head -1)
    echo "== tsan: $t"
    (cd "$dir/tests" && QT_QPA_PLATFORM=offscreen \
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$dir/tsan.supp" "$exe") >"$dir/$t.log" 2>&1 ||
      { failed=1; tail -60 "$dir/$t.log"; echo "== tsan: $t FAILED (log: $dir/$t.log)"; }
  done
  return $failed
}

case "$which" in
  asan) run_asan ;;
  tsan) run_tsan ;;
  all) run_asan; run_tsan ;;
  *) echo "usage: $0 [asan|tsan|all]" >&2; exit 2 ;;
esac
