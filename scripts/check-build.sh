#!/usr/bin/env bash
# Configures the checked build (build-check/, or $LANTROVE_CHECK_BUILD) and
# builds the given targets (all when none): clang with AddressSanitizer and
# UndefinedBehaviorSanitizer at -O1, every object also instrumented for
# fuzzing, so the tests and the fuzz targets come from one configuration (the
# tests link normally, the fuzz targets with libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${LANTROVE_CHECK_BUILD:-build-check}
source scripts/build-options.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
  -DLANTROVE_SANITIZE=ON -DLANTROVE_FUZZ=ON -DLANTROVE_TESTS=ON -DLANTROVE_BENCH=OFF \
  "${LANTROVE_BUILD_OPTIONS[@]}" >/dev/null
cmake --build "$BUILD" --target "${@:-all}"
