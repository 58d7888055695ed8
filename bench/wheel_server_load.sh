#!/usr/bin/env bash
# 200 players at once (count as $2, seconds per phase as $3, client threads as $4)
# against wheel-server on 127.0.0.1, from the native build in $1 (built beforehand,
# e.g. build/native; this script builds nothing). Runs twice: the database on a
# tmpfs (/dev/shm) and in a folder on disk (inside the build folder), since each
# spin waits for its commit to reach the disk. Prints heartbeats and spins per
# second, an echo server's rates as the baseline, and the server's own counters.
set -euo pipefail
case "${1:-}" in ''|-h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
build=$(cd "$1" && pwd)
players=${2:-200}
seconds=${3:-3}
threads=${4:-2}
server_exe=$build/bin/wheel-server
load_exe=$build/bin/wheel_server_load
for exe in "$server_exe" "$load_exe"; do
  [ -x "$exe" ] || { echo "missing $exe: build the targets wheel-server and wheel_server_load first" >&2; exit 1; }
done

server_pid=
work_dirs=()
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  for d in "${work_dirs[@]}"; do
    case "$d" in */gyrelot-wheel-bench-*) rm -rf "$d" ;; esac
  done
}
trap cleanup EXIT

run() {  # <label> <folder for a fresh temporary folder>
  local label=$1 parent=$2 work status=0 server_status=0 port
  work=$(mktemp -d "$parent/gyrelot-wheel-bench-XXXXXX")
  work_dirs+=("$work")
  echo "=== database on $label: $work/wheel.db ($(df -T "$work" | awk 'NR==2{print $2}'))"
  "$server_exe" --port 0 --db "$work/wheel.db" --min-start-interval-ms 0 --initial-coins 1000000000 \
    --stats-interval 0 >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do grep -q listening "$work/server.log" 2>/dev/null && break; sleep 0.05; done
  port=$(sed -n '1s/.*:\([0-9][0-9]*\) (db.*/\1/p' "$work/server.log")
  [ -n "$port" ] || { echo "wheel-server did not start:"; cat "$work/server.log"; exit 1; }
  "$load_exe" "$port" "$players" "$seconds" "$threads" || status=$?
  echo "  server peak memory (VmHWM): $(awk '/VmHWM/{print $2, $3}' /proc/$server_pid/status)"
  kill -TERM "$server_pid"
  wait "$server_pid" || server_status=$?
  server_pid=
  echo "  server stopped by SIGTERM, exit status $server_status; its counters:"
  grep ' counters: ' "$work/server.log" | tail -1 | sed 's/^[^ ]* counters: /    /'
  [ "$status" -eq 0 ] || exit "$status"
}

[ -d /dev/shm ] && run "tmpfs" /dev/shm
run "disk" "$build"
