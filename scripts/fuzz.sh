#!/usr/bin/env bash
# Builds the fuzz targets in the checked build (scripts/check-build.sh) and
# runs each for a while: $LANTROVE_FUZZ_SECONDS each, by default 10 s under CI
# (CI=true) and 60 s elsewhere. Corpora grow in build-check/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${CI:-}" = true ]; then default_seconds=10; else default_seconds=60; fi
SECONDS_EACH=${LANTROVE_FUZZ_SECONDS:-$default_seconds}
BUILD=${LANTROVE_CHECK_BUILD:-build-check}
LANTROVE_CHECK_BUILD=$BUILD scripts/check-build.sh fuzzers
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
for fuzzer in "$BUILD"/tests/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$BUILD/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzzing $name for ${SECONDS_EACH}s"
  "$fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="$BUILD/$name-" "$corpus" 2>"$BUILD/$name.log" || {
    tail -40 "$BUILD/$name.log"
    exit 1
  }
done
echo "fuzzing passed"
