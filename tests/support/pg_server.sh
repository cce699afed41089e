#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a fresh cluster in a folder of
# its own under /tmp, listening on a Unix socket only (no TCP), run by an
# unprivileged user when called as root (the server refuses to run as root).
# No system service or cluster is touched.
#
#   pg_server.sh start STATE_DIR   make and start a server; STATE_DIR/host
#                                  then names its socket folder, and the
#                                  database "sortia" (user "sortia") exists
#   pg_server.sh stop STATE_DIR    stop it and remove everything it made
#   pg_server.sh kill STATE_DIR    stop it at once, as a crash would
#   pg_server.sh restart STATE_DIR start it again after a kill
#
# A server whose starter (ctest, or a test) goes away without stopping it is
# stopped by a watcher a few seconds later, so none is ever left running.
set -euo pipefail

action=${1:?usage: pg_server.sh start|stop|kill|restart STATE_DIR}
state=${2:?usage: pg_server.sh start|stop|kill|restart STATE_DIR}
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ]; then
  # Not a failure of the run: the tests that need the server skip, naming this.
  why="no PostgreSQL server binaries under /usr/lib/postgresql (apt-get install postgresql, or tools/setup-deps.sh)"
  if [ "$action" = start ]; then
    mkdir -p "$state" && rm -f "$state/host" && echo "$why" >"$state/why"
    echo "pg_server.sh: $why; the tests that need it will skip"
    exit 0
  fi
  [ "$action" = stop ] && exit 0
  echo "pg_server.sh: $why" >&2
  exit 1
fi
rm -f "$state/why"

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
  else
    "$@"
  fi
}

folder() { cat "$state/host" 2>/dev/null || true; }

stop_server() {
  local dir=$1
  [ -n "$dir" ] && [ -d "$dir" ] || return 0
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

# fsync off: only the server process ever dies in a test, never the machine,
# so what was written is in the OS's cache. Commits still wait for their log
# to be written (synchronous_commit stays on): a test kills the server and
# expects every draw it was told was saved to be there afterwards.
start_server() {
  local dir=$1
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -c listen_addresses= -c fsync=off -c full_page_writes=off" \
    start >/dev/null
}

case "$action" in
start)
  mkdir -p "$state"
  stop_server "$(folder)"  # one left by a run that was killed
  dir=$(mktemp -d /tmp/sortia-pg-XXXXXX)
  chmod 755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$dir"
  echo "$dir" >"$state/host"
  as_owner "$bindir/initdb" -D "$dir/data" -U sortia -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; stop_server "$dir"; exit 1; }
  if ! start_server "$dir"; then
    cat "$dir/server.log" >&2
    stop_server "$dir"
    exit 1
  fi
  "$bindir/psql" -h "$dir" -U sortia -d postgres -qAt -c "create database sortia" >/dev/null
  # The watcher: when the process that started the server is gone and the
  # server still runs, stop it. It stops its own folder only: the state
  # folder may name the server of a later run by then.
  starter=${SORTIA_PG_STARTER:-$PPID}
  setsid bash -c "while kill -0 $starter 2>/dev/null && [ -d '$dir' ]; do sleep 2; done; \
    [ -d '$dir' ] && '$0' discard '$dir'" </dev/null >/dev/null 2>&1 &
  echo "PostgreSQL test server on socket folder $dir"
  ;;
stop)
  stop_server "$(folder)"
  rm -f "$state/host"
  ;;
discard)  # the watcher's: stop the server in folder $2, whatever the state says
  stop_server "$state"
  ;;
kill)
  dir=$(folder)
  as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null
  ;;
restart)
  start_server "$(folder)"
  ;;
*)
  echo "pg_server.sh: unknown action '$action'" >&2
  exit 2
  ;;
esac
