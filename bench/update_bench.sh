#!/usr/bin/env bash
# Times a full update on loopback: a published installation of 200 files and
# 100 MiB in 20 folders (count and MiB as $1 and $2), fetched by update.exe under Wine
# into an empty installation, from the start of update.exe to its end.
# Needs the native and win64 builds (bash scripts/run.sh or scripts/test.sh first).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
files=${1:-200}
mib=${2:-100}
bin="$root/build/win64/bin"
for f in build/native/bin/update-server build/native/bin/publish "$bin/update.exe" "$bin/ui_driver.exe"; do
  [ -e "$f" ] || { echo "update_bench: $f is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "${HARNESS_XVFB_PID:-}" ] && harness_stop
  case "$work" in */gyrelot-bench-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT

pub="$work/published"
per=$((mib * 1048576 / files))
for i in $(seq 1 "$files"); do
  d="$pub/dir$((i % 20))"
  mkdir -p "$d"
  head -c "$per" /dev/urandom >"$d/file$i.bin"
done
build/native/bin/publish "$pub" --version 1 >/dev/null
inst="$work/install"
mkdir -p "$inst"
cp "$bin/update.exe" "$bin/Durnix.dll" "$inst/"
printf '[update]\r\nhost=127.0.0.1\r\nExeName=none.exe\r\n' >"$inst/update.ini"

build/native/bin/update-server --root "$pub" --listen 127.0.0.1 --port 6001 >"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do grep -q serving "$work/server.log" 2>/dev/null && break; sleep 0.05; done

source scripts/harness.sh
harness_start "$work/harness" >/dev/null
harness_wine_up "$root/build/win64/wineprefix"
start=$(date +%s.%N)
scripts/wine-run.sh "$inst/update.exe" &
update_pid=$!
scripts/wine-run.sh "$bin/ui_driver.exe" answer --caption 自动升级 --button yes --timeout 60000 >/dev/null
wait "$update_pid"
end=$(date +%s.%N)
ok=$(cd "$pub" && find . -name '*.bin' | while read -r f; do cmp -s "$f" "$inst/$f" && echo same; done | wc -l)
echo "files: $files in 20 folders, $((per * files)) bytes; installed identical: $ok"
echo "recorded: $(cat "$inst"/[lL]ast[vV]er.txt | tr -d "\r" | tr "\n" " ")"
awk -v s="$start" -v e="$end" -v b="$((per * files))" 'BEGIN{printf "full update: %.1f s (%.1f MB/s)\n", e - s, b / (e - s) / 1e6}'
