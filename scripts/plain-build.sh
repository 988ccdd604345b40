#!/usr/bin/env bash
# Configures the plain build (build/, RelWithDebInfo, no sanitizers) that
# scripts/run.sh starts the program from, with its tests, and builds the given
# targets (all when none). Both scripts configure it alike, so neither makes
# the other rebuild.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-options.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLANTROVE_SANITIZE=OFF -DLANTROVE_FUZZ=OFF -DLANTROVE_TESTS=ON -DLANTROVE_BENCH=OFF \
  "${LANTROVE_BUILD_OPTIONS[@]}" >/dev/null
cmake --build build --target "${@:-all}"
