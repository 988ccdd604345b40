#!/usr/bin/env bash
# Installs what is needed, builds the program folder and the local stand-in
# of the video site, starts the site in the background on the port the
# shipped const.dat names, runs Lantrove against it and stops the site when
# the program ends. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/plain-build.sh lantrove lantrove-site

SITE_PORT=47812
site_out=$(mktemp)
build/bin/lantrove-site --port="$SITE_PORT" >"$site_out" 2>&1 &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null || true; wait "$site_pid" 2>/dev/null || true; rm -f "$site_out"' EXIT
# The site prints its address once it listens.
for _ in $(seq 100); do
  grep -q '^http' "$site_out" && break
  if ! kill -0 "$site_pid" 2>/dev/null; then
    cat "$site_out" >&2
    echo "run.sh: the stand-in site could not start on port $SITE_PORT" >&2
    exit 1
  fi
  sleep 0.05
done
echo "Stand-in video site: $(head -n 1 "$site_out")"
build/bin/lantrove "$@"
