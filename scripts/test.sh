#!/usr/bin/env bash
# The test command: installs what is missing, builds, starts the sandbox server, loads
# the sample database, runs every test with ctest, stops the server. Non-zero on failure.
# Extra arguments go to ctest (for example -L core).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/pg-sandbox.sh start
# By its full path: the tests run from the build folder, where a relative path finds nothing.
SANDBOX="$PWD/scripts/pg-sandbox.sh"
trap 'bash "$SANDBOX" stop >/dev/null 2>&1 || true' EXIT
bash scripts/load-sample.sh
set -a; . "/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"; set +a
# A copy of the sample that no test connects to, for tests that clone it while others read
# the sample itself (a database with sessions cannot serve as a template).
SAMPLE="${VANTOR_SAMPLE_DB:-vantor_sample}"
psql -X -q -d postgres -c "DROP DATABASE IF EXISTS ${SAMPLE}_template WITH (FORCE)"
psql -X -q -d postgres -c "CREATE DATABASE ${SAMPLE}_template TEMPLATE $SAMPLE"
export VANTOR_PG_ENV="/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure --parallel "${VANTOR_JOBS:-$(nproc)}" --timeout 600 "$@"
