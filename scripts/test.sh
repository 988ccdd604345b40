#!/usr/bin/env bash
# The test command. In order:
#  1. installs what is needed (scripts/install.sh);
#  2. builds the checked build (build-check/: clang, AddressSanitizer and
#     UndefinedBehaviorSanitizer; tests and fuzz targets from one
#     configuration) and runs each fuzz target for a while (scripts/fuzz.sh);
#  3. builds the plain RelWithDebInfo build that scripts/run.sh uses (build/)
#     and runs every test there, since the sanitizers cannot see faults inside
#     the uninstrumented FFmpeg and WebKit libraries, with the display tests
#     under a window manager (openbox);
#  4. runs every test in the checked build, the display tests on a bare X
#     server; its ctest summary closes the output.
# The ThreadSanitizer tests run on their own: scripts/tsan.sh.
# The first step that fails ends the command. Arguments go to both ctest runs;
# LANTROVE_TEST_JOBS sets how many tests run at once (default: two per core).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
# Many tests wait on timers, servers and other processes: twice as many as
# there are cores keep the cores busy.
jobs=${LANTROVE_TEST_JOBS:-$(($(nproc) * 2))}

# run_ctest BUILD DESKTOP [ctest arguments]: DESKTOP "wm" runs the tests on a
# display managed by openbox, "bare" on a display with no window manager.
run_ctest() {
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}
  local wm=()
  if [ "$2" = wm ]; then wm=(scripts/with-wm.sh); fi
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "${wm[@]}" ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:3}"
}

scripts/check-build.sh
scripts/fuzz.sh

scripts/plain-build.sh
# The display tests meet both desktops: under a window manager in the plain
# build, on a bare X server in the checked one.
echo "tests in the plain build (build/), under a window manager"
run_ctest build wm "$@"

echo "tests in the checked build (build-check/), on a bare X server"
run_ctest build-check bare "$@"
