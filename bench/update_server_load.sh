#!/usr/bin/env bash
# 200 updaters at once (count as $1, MiB per file as $2): each fetches a 1 MiB file
# from update-server on 127.0.0.1 and checks its bytes. Prints the aggregate MB/s,
# the slowest transfer and the server's peak memory. Builds an optimised copy in
# build/bench (the native preset carries sanitizers).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
clients=${1:-200}
mib=${2:-1}

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target update-server update_server_load >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  case "$work" in */gyrelot-bench-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT
mkdir -p "$work/root"
head -c $((mib * 1048576)) /dev/urandom >"$work/root/file.bin"

build/bench/bin/update-server --root "$work/root" --port 0 >"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do grep -q serving "$work/server.log" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n '1s/.*:\([0-9]*\)$/\1/p' "$work/server.log")
[ -n "$port" ] || { echo "update-server did not start:"; cat "$work/server.log"; exit 1; }
echo "server memory at start (VmHWM): $(awk '/VmHWM/{print $2, $3}' /proc/$server_pid/status)"
status=0
build/bench/bin/update_server_load "$port" file.bin "$work/root/file.bin" "$clients" || status=$?
echo "server peak memory (VmHWM): $(awk '/VmHWM/{print $2, $3}' /proc/$server_pid/status)"
kill -TERM "$server_pid"
server_status=0
wait "$server_pid" || server_status=$?
server_pid=
echo "server stopped by SIGTERM, exit status $server_status"
echo "transfers logged done: $(grep -c ' done$' "$work/server.log" || true) of $clients"
exit "$status"
