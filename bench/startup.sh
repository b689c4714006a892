#!/usr/bin/env bash
# Start-up time of vantor to a logged-on connection window the user can see: under a virtual
# display the program starts with the logon switches of the sandbox's sample database
# (/H= /P= /D= /U= /PS=), logs on automatically and builds its connection window; the time
# runs from launching the program until that window has painted. The program itself tells
# when (VANTOR_STARTUP_MARK names a file it writes the wall-clock time into once the first
# connection window has painted; nothing else changes). Beside it, psql connecting to the
# same database and running one query. Medians; every run is printed.
# Needs the sandbox's env variables (set -a; . /tmp/vantor-pg-<port>/env; set +a).
#   bench/startup.sh [path/to/vantor] [runs]     (default: the program scripts/build.sh builds, 9)
set -euo pipefail
cd "$(dirname "$0")/.."
exe="${1:-./${BUILD_DIR:-build}/vantor}"
runs="${2:-9}"
[ -x "$exe" ] || { echo "no program at $exe (build it first)" >&2; exit 1; }
[ -n "${PGHOST:-}" ] || { echo "set the sandbox's env variables first" >&2; exit 2; }
exe="$(realpath "$exe")"
db="${VANTOR_SAMPLE_DB:-vantor_sample}"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  exe="$1"; runs="$2"; db="$3"
  work="$(mktemp -d)"; trap "rm -rf \"$work\"" EXIT
  export VANTOR_CONFIG_DIR="$work/config" XDG_CONFIG_HOME="$work/xdg" HOME="$work"
  times=()
  for i in $(seq 1 "$runs"); do
    mark="$work/mark"; rm -f "$mark"
    start=$(date +%s%N)
    VANTOR_STARTUP_MARK="$mark" "$exe" "/H=$PGHOST" "/P=$PGPORT" "/D=$db" "/U=$PGUSER" "/PS=$PGPASSWORD" \
      >/dev/null 2>&1 & pid=$!
    waited=0
    until [ -s "$mark" ]; do
      if ! kill -0 "$pid" 2>/dev/null; then echo "vantor ended before its window painted" >&2; exit 1; fi
      sleep 0.01; waited=$((waited + 1))
      if [ "$waited" -gt 6000 ]; then echo "no connection window after 60 s" >&2; kill "$pid"; exit 1; fi
    done
    ms=$(( ($(cat "$mark") - start) / 1000000 ))
    kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
    echo "run $i: ${ms} ms"
    times+=("$ms")
  done
  echo "vantor to a painted, logged-on connection window: median $(printf "%s\n" "${times[@]}" | sort -n | awk "{a[NR]=\$1} END {print a[int((NR+1)/2)]}") ms over ${runs} runs"
' _ "$exe" "$runs" "$db" | tee /tmp/vantor-startup.$$
vantor=$(sed -n 's/.*window: median \([0-9]*\) ms.*/\1/p' /tmp/vantor-startup.$$); rm -f /tmp/vantor-startup.$$
times=()
for i in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  psql -X -q -A -t -d "$db" -c "SELECT 1" >/dev/null
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
done
psql_ms=$(printf "%s\n" "${times[@]}" | median)
echo "psql connecting and running one query: median ${psql_ms} ms over ${runs} runs"
[ -n "$vantor" ] && awk -v a="$vantor" -v b="$psql_ms" 'BEGIN {printf "ratio vantor/psql: %.1f\n", a / (b > 0 ? b : 1)}'
