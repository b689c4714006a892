#!/usr/bin/env bash
# The test command: installs what is missing, builds, starts the sandbox server, loads
# the sample database, runs every test with ctest, stops the server. Non-zero on failure.
# Extra arguments go to ctest (for example -L core).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/pg-sandbox.sh start
trap 'bash scripts/pg-sandbox.sh stop >/dev/null 2>&1 || true' EXIT
bash scripts/load-sample.sh
set -a; . "/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"; set +a
export VANTOR_PG_ENV="/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"
