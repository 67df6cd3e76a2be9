#!/usr/bin/env bash
# Installs what the tests need (headless LibreOffice included), builds
# Keelmend with its tests and runs the whole suite through CTest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KEELMEND_BUILD_DIR:-$top/build}

bash "$top/scripts/install-deps.sh" --office
KEELMEND_BUILD_DIR=$build bash "$top/scripts/build.sh" -DKEELMEND_BUILD_TESTS=ON
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"

# The suite again under AddressSanitizer+UBSan (all of it) and ThreadSanitizer
# (the threaded tests), then one minute of each fuzz target.
bash "$top/scripts/test-sanitizers.sh" all
bash "$top/fuzz/run.sh" "${KEELMEND_FUZZ_SECONDS:-60}"
