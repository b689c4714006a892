#!/usr/bin/env bash
# Runs a program under a virtual display, waits, saves a screenshot of the whole screen and
# ends the program:  scripts/screenshot.sh OUT.png SECONDS program [args...]
set -euo pipefail
out="$1"; wait_s="$2"; shift 2
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  out="$1"; wait_s="$2"; shift 2
  "$@" & pid=$!
  sleep "$wait_s"
  import -window root "$out"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$out" "$wait_s" "$@"
echo "screenshot: $out"
