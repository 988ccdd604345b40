#!/usr/bin/env bash
# Fails when any C or C++ source differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' '*.c' '*.hpp' || true)
[ -z "$files" ] && exit 0
echo "$files" | xargs clang-format --dry-run --Werror
