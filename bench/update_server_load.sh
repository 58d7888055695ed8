#!/usr/bin/env bash
# 200 updaters at once (count as $1, MiB per file as $2): each fetches a 1 MiB file
# from update-server on 127.0.0.1. Prints the aggregate MB/s, the slowest transfer
# and the server's peak memory. Builds an optimised copy in build/bench.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
clients=${1:-200}
mib=${2:-1}

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target update-server update_server_load >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  case "$work" in */gyrelot-bench-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT
mkdir -p "$work/root"
head -c $((mib * 1048576)) /dev/urandom >"$work/root/file.bin"

build/bench/bin/update-server --root "$work/root" --port 0 >"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do grep -q serving "$work/server.log" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n '1s/.*:\([0-9]*\)$/\1/p' "$work/server.log")
echo "server peak memory before: $(awk '/VmHWM/{print $2, $3}' /proc/$server_pid/status)"
build/bench/bin/update_server_load "$port" file.bin "$work/root/file.bin" "$clients"
echo "server peak memory (VmHWM): $(awk '/VmHWM/{print $2, $3}' /proc/$server_pid/status)"
echo "transfers logged done: $(grep -c ' done$' "$work/server.log")"
