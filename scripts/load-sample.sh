#!/usr/bin/env bash
# Loads the sample business database into the running sandbox server. It is reloaded only
# when scripts/sample/*.sql changed since the last load (or with FORCE=1).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}"
set -a; . "$ROOT/env"; set +a
SAMPLE="${VANTOR_SAMPLE_DB:-vantor_sample}"
STAMP="$ROOT/sample.sum"
sum=$(cat scripts/sample/*.sql 2>/dev/null | sha256sum | cut -d' ' -f1)
exists=$(psql -X -tAc "SELECT 1 FROM pg_database WHERE datname='$SAMPLE'" -d postgres)
if [ "$exists" = "1" ] && [ "${FORCE:-0}" != "1" ] && [ "$(cat "$STAMP" 2>/dev/null)" = "$sum" ]; then
  exit 0
fi
rm -f "$STAMP"
psql -X -q -d postgres -c "DROP DATABASE IF EXISTS $SAMPLE WITH (FORCE)"
psql -X -q -d postgres -c "CREATE DATABASE $SAMPLE TEMPLATE template0 ENCODING 'UTF8'"
for f in scripts/sample/*.sql; do
  [ -e "$f" ] || continue
  psql -X -q -v ON_ERROR_STOP=1 -d "$SAMPLE" -f "$f" >/dev/null
done
echo "$sum" > "$STAMP"
echo "sample database $SAMPLE loaded"
