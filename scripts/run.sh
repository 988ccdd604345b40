#!/usr/bin/env bash
# Installs what is needed, builds the program folder and starts Lantrove.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANTROVE_TESTS=OFF
cmake --build build --target lantrove
exec build/bin/lantrove "$@"
