#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while (default 30 s).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${LANTROVE_FUZZ_SECONDS:-30}
BUILD=${LANTROVE_FUZZ_BUILD:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLANTROVE_FUZZ=ON -DLANTROVE_TESTS=OFF -DLANTROVE_SANITIZE=ON >/dev/null
cmake --build "$BUILD" --target fuzzers
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
for fuzzer in "$BUILD"/tests/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  corpus="$BUILD/corpus/$(basename "$fuzzer")"
  mkdir -p "$corpus"
  echo "fuzzing $(basename "$fuzzer") for ${SECONDS_EACH}s"
  "$fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" 2>"$BUILD/$(basename "$fuzzer").log" || {
    tail -40 "$BUILD/$(basename "$fuzzer").log"
    exit 1
  }
done
echo "fuzzing passed"
