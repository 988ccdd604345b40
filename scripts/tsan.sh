#!/usr/bin/env bash
# Builds the thread-heavy test programs (label "threads") with ThreadSanitizer
# in build-tsan and runs them: the download and media layers, the window
# core's and class library's threads, and the application's and framework's
# suites that run threads (queue handlers, conversions and tag writers, the
# update check, the banner cache); tests/CMakeLists.txt lists them.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${LANTROVE_TSAN_BUILD:-build-tsan}
JOBS=${LANTROVE_JOBS:-$(nproc)}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANTROVE_TSAN=ON \
  -DLANTROVE_SANITIZE=OFF -DLANTROVE_TESTS=ON "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target thread_tests
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp}
ctest --test-dir "$BUILD" -L threads --output-on-failure -j"$JOBS" "$@"
