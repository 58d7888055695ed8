#!/usr/bin/env bash
# Runs a command against a fresh wheel-server on 127.0.0.1: the server gets a free port
# and a database of its own in a temporary folder; the command finds the port in
# WHEEL_SERVER_PORT. The server is stopped with SIGTERM afterwards and must end
# cleanly. The command's exit status is the script's.
#
#   with_wheel_server.sh <wheel-server> [server options...] -- <command> [args...]
set -uo pipefail
server=$1
shift
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  options+=("$1")
  shift
done
[ "${1:-}" = "--" ] || { echo "with_wheel_server: no command after --" >&2; exit 2; }
shift

work=$(mktemp -d /tmp/wheel-e2e.XXXXXX)
cleanup() {
  if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$server" --port 0 --db "$work/wheel.db" "${options[@]}" >"$work/server.log" 2>&1 &
pid=$!
port=
for _ in $(seq 1 100); do
  port=$(sed -n '1s/^wheel-server: listening on [^ ]*:\([0-9][0-9]*\) .*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "with_wheel_server: the server did not start" >&2
  cat "$work/server.log" >&2
  exit 1
fi

WHEEL_SERVER_PORT=$port "$@"
status=$?

kill -TERM "$pid"
server_status=0
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
wait "$pid" || server_status=$?
echo "--- wheel-server log"
cat "$work/server.log"
if [ "$server_status" -ne 0 ]; then
  echo "with_wheel_server: the server ended with status $server_status" >&2
  [ "$status" -eq 0 ] && status=1
fi
exit "$status"
