#!/usr/bin/env bash
# Installs what is needed, runs the fuzz targets for a while, builds with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test (headless,
# gui under Xvfb, e2e, and the format check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/fuzz.sh
BUILD=${LANTROVE_TEST_BUILD:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLANTROVE_SANITIZE=ON -DLANTROVE_TESTS=ON
cmake --build "$BUILD"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" "$@"
