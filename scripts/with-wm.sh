#!/usr/bin/env bash
# Runs a command on the current X display under a window manager (openbox),
# started here and stopped when the command ends. Used inside xvfb-run, so
# that the tests that need a display also meet one that is managed.
set -euo pipefail
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true; wait "$wm" 2>/dev/null || true' EXIT
# The manager announces itself on the root window once it manages windows.
for _ in $(seq 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  if ! kill -0 "$wm" 2>/dev/null; then
    echo "with-wm.sh: openbox did not start" >&2
    exit 1
  fi
  sleep 0.05
done
status=0
"$@" || status=$?
exit "$status"
