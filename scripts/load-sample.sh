#!/usr/bin/env bash
# Loads the sample business database into the running sandbox server. It is reloaded when
# scripts/sample/*.sql changed since the last load, when the server lost the rows of an
# unlogged table (it empties them after an unclean stop, e.g. when the machine or the
# session that ran it was killed), or with FORCE=1.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="/tmp/vantor-pg-${VANTOR_PG_PORT:-55432}"
set -a; . "$ROOT/env"; set +a
SAMPLE="${VANTOR_SAMPLE_DB:-vantor_sample}"
STAMP="$ROOT/sample.sum"
sum=$(cat scripts/sample/*.sql 2>/dev/null | sha256sum | cut -d' ' -f1)
exists=$(psql -X -tAc "SELECT 1 FROM pg_database WHERE datname='$SAMPLE'" -d postgres)
# The sample fills every unlogged table it has; an empty one means crash recovery reset it.
unlogged_empty() {
  local tables t
  tables=$(psql -X -tAc "SELECT format('%I.%I', n.nspname, c.relname) FROM pg_class c
                          JOIN pg_namespace n ON n.oid = c.relnamespace
                         WHERE c.relpersistence = 'u' AND c.relkind = 'r'" -d "$SAMPLE")
  while IFS= read -r t; do
    [ -n "$t" ] || continue
    [ "$(psql -X -tAc "SELECT EXISTS (SELECT FROM $t)" -d "$SAMPLE")" = "t" ] || return 0
  done <<< "$tables"
  return 1
}
if [ "$exists" = "1" ] && [ "${FORCE:-0}" != "1" ] && [ "$(cat "$STAMP" 2>/dev/null)" = "$sum" ] \
   && ! unlogged_empty; then
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
