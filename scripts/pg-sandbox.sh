#!/usr/bin/env bash
# A throwaway PostgreSQL server of our own, independent of any system cluster.
#   scripts/pg-sandbox.sh start|stop|status|destroy|env
# Port: VANTOR_PG_PORT (default 55432). Everything lives in /tmp/vantor-pg-<port>:
# data/ (the cluster), sock/ (the socket folder), log, and env (connection values for
# tests and benchmarks: PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE).
set -euo pipefail

PORT="${VANTOR_PG_PORT:-55432}"
ROOT="/tmp/vantor-pg-$PORT"
DATA="$ROOT/data"
SOCK="$ROOT/sock"
LOG="$ROOT/log"
ENVFILE="$ROOT/env"
ROLE="vantor"
PASS="vantor"
DB="vantor_test"
TBS="vantor_tbs"           # a tablespace of the sandbox, for tests that place tables in one
TBSDIR="$ROOT/tbs"
# Empty folders owned by the server's user for tests that create and drop tablespaces of
# their own: each test claims one (a file of the same name under claims/) and drops its
# tablespaces at the end, which empties the folder again.
TBSFREE="$ROOT/tbsfree"
TBSFREE_COUNT=12

PGBIN="${VANTOR_PG_BIN:-}"
if [ -z "$PGBIN" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi
[ -x "$PGBIN/pg_ctl" ] || { echo "pg-sandbox: PostgreSQL server programs not found (run scripts/install-deps.sh)" >&2; exit 1; }

# initdb, pg_ctl and postgres refuse to run as root: run them as postgres.
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# The postmaster's pid when a live (non-zombie) process owns our data folder, else empty.
live_pid() {
  local pidfile="$DATA/postmaster.pid" pid state
  [ -f "$pidfile" ] || return 0
  pid=$(head -n 1 "$pidfile" 2>/dev/null || true)
  [[ "$pid" =~ ^[0-9]+$ ]] || return 0
  [ -d "/proc/$pid" ] || return 0
  state=$(awk '/^State:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  [ "$state" = "Z" ] && return 0
  echo "$pid"
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null
}

write_env() {
  cat > "$ENVFILE" <<ENV
export PGHOST='127.0.0.1'
export PGPORT='$PORT'
export PGUSER='$ROLE'
export PGPASSWORD='$PASS'
export PGDATABASE='$DB'
export VANTOR_SAMPLE_DB='vantor_sample'
export VANTOR_TBS='$TBS'
export VANTOR_TBS_FREE='$TBSFREE'
ENV
  chmod 0644 "$ENVFILE"
}

psql_local() {
  as_pg "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$SOCK" -p "$PORT" -U postgres "$@"
}

# The role, database and tablespace the tests rely on; also run when the server was already
# up, so a cluster made before one of them was added gets it.
ensure_objects() {
  if ! psql_local -d postgres -tAc "SELECT 1 FROM pg_roles WHERE rolname='$ROLE'" | grep -q 1; then
    psql_local -d postgres -c "CREATE ROLE $ROLE LOGIN SUPERUSER PASSWORD '$PASS'"
  fi
  if ! psql_local -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname='$DB'" | grep -q 1; then
    psql_local -d postgres -c "CREATE DATABASE $DB OWNER $ROLE"
  fi
  # The tablespace's folder must belong to the server's user and be empty.
  if ! psql_local -d postgres -tAc "SELECT 1 FROM pg_tablespace WHERE spcname='$TBS'" | grep -q 1; then
    rm -rf "$TBSDIR"
    mkdir -p "$TBSDIR"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$TBSDIR"
    chmod 0700 "$TBSDIR"
    psql_local -d postgres -c "CREATE TABLESPACE $TBS OWNER $ROLE LOCATION '$TBSDIR'"
  fi
  mkdir -p "$TBSFREE/claims"
  chmod 0755 "$TBSFREE"
  chmod 1777 "$TBSFREE/claims"
  local i slot
  for i in $(seq -w 1 "$TBSFREE_COUNT"); do
    slot="$TBSFREE/slot$i"
    mkdir -p "$slot"
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$slot"
    chmod 0700 "$slot"
  done
}

start() {
  if [ -n "$(live_pid)" ]; then
    ensure_objects
    write_env
    echo "pg-sandbox: already running on port $PORT"
    return 0
  fi
  if port_in_use; then
    echo "pg-sandbox: port $PORT is already in use by another program; set VANTOR_PG_PORT to a free port" >&2
    exit 1
  fi
  mkdir -p "$ROOT"
  chmod 0755 "$ROOT"
  if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$ROOT"; fi
  if [ ! -f "$DATA/PG_VERSION" ]; then
    rm -rf "$DATA"
    local pwfile="$ROOT/pw"
    echo "$PASS" > "$pwfile"
    [ "$(id -u)" -eq 0 ] && chown postgres "$pwfile"
    as_pg "$PGBIN/initdb" -D "$DATA" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
      --encoding=UTF8 --locale=C.UTF-8 --pwfile="$pwfile" >"$ROOT/initdb.log" 2>&1 \
      || { cat "$ROOT/initdb.log" >&2; echo "pg-sandbox: initdb failed" >&2; exit 1; }
    rm -f "$pwfile"
    cat >> "$DATA/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$SOCK'
max_connections = 300
fsync = off
synchronous_commit = off
full_page_writes = off
shared_preload_libraries = 'pg_stat_statements'
password_encryption = 'scram-sha-256'
CONF
  fi
  # A stale pid file (killed or zombie postmaster) must not block the start.
  rm -f "$DATA/postmaster.pid"
  mkdir -p "$SOCK"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$SOCK"
  if ! as_pg "$PGBIN/pg_ctl" -D "$DATA" -l "$LOG" -o "-p $PORT" -w -t 60 start >/dev/null; then
    tail -n 20 "$LOG" >&2 || true
    echo "pg-sandbox: the server did not start (log: $LOG)" >&2
    exit 1
  fi
  ensure_objects
  write_env
  echo "pg-sandbox: running on 127.0.0.1:$PORT (env: $ENVFILE)"
}

stop() {
  local pid
  pid=$(live_pid)
  if [ -z "$pid" ]; then
    echo "pg-sandbox: not running"
    return 0
  fi
  as_pg "$PGBIN/pg_ctl" -D "$DATA" -m fast -w -t 60 stop >/dev/null 2>&1 || kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    [ -z "$(live_pid)" ] && break
    sleep 0.1
  done
  if [ -n "$(live_pid)" ]; then
    echo "pg-sandbox: server did not stop" >&2
    exit 1
  fi
  echo "pg-sandbox: stopped"
}

status() {
  local pid
  pid=$(live_pid)
  if [ -n "$pid" ]; then
    echo "pg-sandbox: running on 127.0.0.1:$PORT (pid $pid)"
  else
    echo "pg-sandbox: not running"
    return 3
  fi
}

destroy() {
  stop
  rm -rf "$ROOT"
  echo "pg-sandbox: removed $ROOT"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  destroy) destroy ;;
  env) cat "$ENVFILE" ;;
  *) echo "usage: $0 start|stop|status|destroy|env" >&2; exit 2 ;;
esac
