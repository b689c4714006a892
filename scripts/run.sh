#!/usr/bin/env bash
# The main command: installs what is missing, builds a release, starts the sandbox server
# with the sample database and launches vantor logged on to it. Extra arguments go to vantor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build-release BUILD_TYPE=Release VANTOR_TESTS=OFF bash scripts/build.sh -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
bash scripts/pg-sandbox.sh start
bash scripts/load-sample.sh
set -a; . "/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"; set +a
exec ./build-release/vantor "/U=$PGUSER" "/PS=$PGPASSWORD" "/D=${VANTOR_SAMPLE_DB:-vantor_sample}" \
  "/H=$PGHOST" "/P=$PGPORT" "/S=${VANTOR_SAMPLE_SCHEMA:-sales}" "$@"
