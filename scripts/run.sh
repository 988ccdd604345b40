#!/usr/bin/env bash
# Installs what is needed, builds the program folder in build/ and starts Lantrove.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/plain-build.sh lantrove
exec build/bin/lantrove "$@"
