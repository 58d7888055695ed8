#!/usr/bin/env bash
# Measures the updater's file digest over a 1 GiB file (size in MiB as $1) against
# md5sum of the same file in the same run, natively and (if built) under Wine.
# Builds nothing: run `bash scripts/run.sh` or `bash scripts/test.sh` first. The
# native preset carries sanitizers, so the native figure comes from a separate
# optimised build in build/bench.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mib=${1:-1024}
case "$mib" in -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target digest_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
cleanup() { case "$work" in */gyrelot-bench-*) rm -rf "$work" ;; esac; }
trap cleanup EXIT
file="$work/big.bin"
echo "creating a ${mib} MiB file"
head -c $((mib * 1048576)) /dev/urandom >"$file"
cat "$file" >/dev/null  # into the page cache, so every run reads from memory

TIMEFORMAT=%R
best=""
for i in 1 2 3; do
  t=$( { time md5sum "$file" >/dev/null; } 2>&1 )
  if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
done
echo "md5sum    best of 3: ${best} s"
expected=$(tail -c +4049 "$file" | md5sum | cut -d' ' -f1)
native=$(build/bench/bin/digest_bench "$file" 3)
echo "$native"
ours=$(echo "$native" | awk '{for(i=1;i<=NF;i++) if($i=="s") print $(i-1)}' | tail -1)
echo "digest agrees with tail -c +4049 | md5sum: $([ "$(echo "$native" | awk '{print $2}')" = "$expected" ] && echo yes || echo NO)"
awk -v a="$best" -v b="$ours" 'BEGIN{printf "ratio (our speed / md5sum speed): %.2f\n", a/b}'

if [ -x build/win64/bin/digest_bench.exe ]; then
  source scripts/harness.sh
  export WINEPREFIX="$root/build/win64/wineprefix"
  trap 'harness_stop; cleanup' EXIT
  harness_start "$work/harness" >/dev/null
  harness_wine_up "$WINEPREFIX"
  echo "under Wine: $(scripts/wine-run.sh build/win64/bin/digest_bench.exe "$file" 3 | tr -d '\r')"
fi
