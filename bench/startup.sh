#!/usr/bin/env bash
# Start-up time of vantor to a visible main window, measured from outside the process:
# under a virtual display, the time from launching the program until the X server lists
# its mapped main window ("Kelvane for Symfoware"). Prints every run and the median; with
# the sandbox's env variables set (PGHOST …), also the median of psql connecting and running
# one query, as a peer. The program defaults to the one scripts/build.sh builds.
#   bench/startup.sh [path/to/vantor] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
exe="${1:-./build/vantor}"
runs="${2:-9}"
[ -x "$exe" ] || { echo "no program at $exe (build it first)" >&2; exit 1; }
exe="$(realpath "$exe")"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  exe="$1"; runs="$2"
  cfg="$(mktemp -d)"; trap "rm -rf \"$cfg\"" EXIT
  export VANTOR_CONFIG_DIR="$cfg/config" XDG_CONFIG_HOME="$cfg/xdg" HOME="$cfg"
  times=()
  for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$exe" >/dev/null 2>&1 & pid=$!
    while ! xwininfo -root -tree 2>/dev/null | grep -q "\"Kelvane for Symfoware\""; do
      if ! kill -0 "$pid" 2>/dev/null; then echo "vantor ended early" >&2; exit 1; fi
      sleep 0.005
    done
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
    echo "run $i: ${ms} ms"
    times+=("$ms")
  done
  median=$(printf "%s\n" "${times[@]}" | sort -n | awk "{a[NR]=\$1} END {print a[int((NR+1)/2)]}")
  echo "median: ${median} ms over ${runs} runs"
' _ "$exe" "$runs"
if [ -n "${PGHOST:-}" ] && command -v psql >/dev/null; then
  times=()
  for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    psql -X -q -A -t -c "SELECT 1" >/dev/null
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
  done
  median=$(printf "%s\n" "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "psql connecting and running one query: median ${median} ms over ${runs} runs"
fi
