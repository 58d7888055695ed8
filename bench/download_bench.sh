#!/usr/bin/env bash
# Measures one 64 MiB download on loopback (size in MiB as $1): our client and
# Durnix.dll under Wine against update-server, beside curl fetching the same file
# over HTTP from nginx, in the same run. Prints MB/s for both and the ratio.
# Needs the native and win64 builds (bash scripts/test.sh or scripts/run.sh first);
# installs nginx and curl if they are missing (root).
set -euo pipefail
[ -n "${BENCH_DEBUG:-}" ] && set -x
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mib=${1:-64}
case "$mib" in -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac

for p in nginx curl; do
  if ! command -v "$p" >/dev/null && ! [ -x /usr/sbin/$p ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" >/dev/null
  fi
done
for f in build/native/bin/update-server build/win64/bin/download_probe.exe; do
  [ -e "$f" ] || { echo "download_bench: $f is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  case "$work" in */gyrelot-bench-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/nginx" "$work/local"
# nginx workers run as an unprivileged user: they must be able to read the file.
chmod 755 "$work" "$work/www"
head -c $((mib * 1048576)) /dev/urandom >"$work/www/big.bin"
chmod 644 "$work/www/big.bin"
bytes=$(stat -c %s "$work/www/big.bin")

# update-server
build/native/bin/update-server --root "$work/www" --port 0 >"$work/server.log" &
pids+=($!)
for _ in $(seq 100); do grep -q 'serving' "$work/server.log" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n '1s/.*:\([0-9]*\)$/\1/p' "$work/server.log")

# nginx on a free loopback port, everything under the work folder
nport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server { listen 127.0.0.1:$nport; root $work/www; }
}
CONF
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
pids+=($!)
for _ in $(seq 100); do curl -sf -o /dev/null "http://127.0.0.1:$nport/big.bin" && break; sleep 0.05; done

# curl: best of 3
best_curl=""
for _ in 1 2 3; do
  t=$(curl -sf -o "$work/local/curl.bin" -w '%{time_total}' "http://127.0.0.1:$nport/big.bin")
  if [ -z "$best_curl" ] || awk "BEGIN{exit !($t < $best_curl)}"; then best_curl=$t; fi
done
cmp -s "$work/local/curl.bin" "$work/www/big.bin" || { echo "curl fetched different bytes" >&2; exit 1; }

# our client under Wine: best of 3 downloads in one probe run (one connection)
source scripts/harness.sh
export WINEPREFIX="$root/build/win64/wineprefix"
trap 'harness_stop; cleanup' EXIT
harness_start "$work/harness" >/dev/null
harness_wine_up "$WINEPREFIX"
winpath="Z:${work//\//\\}\\local\\ours.bin"
out=$(scripts/wine-run.sh build/win64/bin/download_probe.exe 127.0.0.1 "$port" \
  big.bin "$winpath" big.bin "$winpath" big.bin "$winpath" | tr -d '\r')
cmp -s "$work/local/ours.bin" "$work/www/big.bin" || { echo "our client fetched different bytes" >&2; exit 1; }
best_ms=$(echo "$out" | awk '$1=="ok"{print $3}' | sort -n | head -1)

awk -v b="$bytes" -v c="$best_curl" -v m="$best_ms" 'BEGIN{
  ours = b / (m / 1000) / 1e6; theirs = b / c / 1e6;
  printf "file: %d bytes\n", b;
  printf "our client under Wine vs update-server: %.3f s, %.1f MB/s\n", m / 1000, ours;
  printf "curl vs nginx (HTTP):                    %.3f s, %.1f MB/s\n", c, theirs;
  printf "ratio ours/curl: %.3f\n", ours / theirs }'
