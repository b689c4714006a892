#!/usr/bin/env bash
# Loads the sample business database into the running sandbox server, once.
# FORCE=1 drops and reloads it.
set -euo pipefail
cd "$(dirname "$0")/.."
set -a; . "/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}/env"; set +a
SAMPLE="${VANTOR_SAMPLE_DB:-vantor_sample}"
exists=$(psql -X -tAc "SELECT 1 FROM pg_database WHERE datname='$SAMPLE'" -d postgres)
if [ "$exists" = "1" ] && [ "${FORCE:-0}" != "1" ]; then
  exit 0
fi
psql -X -q -d postgres -c "DROP DATABASE IF EXISTS $SAMPLE WITH (FORCE)"
psql -X -q -d postgres -c "CREATE DATABASE $SAMPLE TEMPLATE template0 ENCODING 'UTF8'"
for f in scripts/sample/*.sql; do
  [ -e "$f" ] || continue
  psql -X -q -v ON_ERROR_STOP=1 -d "$SAMPLE" -f "$f" >/dev/null
done
echo "sample database $SAMPLE loaded"
