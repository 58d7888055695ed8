#!/usr/bin/env bash
# Builds fuzz targets of the portable parsers with clang's libFuzzer (under the address
# and undefined-behaviour sanitizers) and runs each one.
#
#   tests/fuzz/run_fuzz.sh [--runs N] [--seconds S] [--out DIR] TARGET...
#
#   --runs N      inputs to run per target (default 100000 when --seconds is not given)
#   --seconds S   time per target; with --runs, whichever ends first
#   --out DIR     where binaries, corpora and findings go (default build/fuzz)
#
# A target NAME is described by tests/fuzz/targets/NAME.sh: its sources (the entry
# point tests/fuzz/NAME_fuzz.cpp and the code under test), libFuzzer options and seed
# files; targets/NAME.dict, if present, lists words of its format. Each run starts from
# the seeds made afresh in DIR/seeds/NAME plus the corpus grown by earlier runs in
# DIR/corpus/NAME. Prints the executions per target; exits 1 when a target had a
# finding (the input is kept in DIR/findings/NAME/), 2 on a usage or build error.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
here="$root/tests/fuzz"

usage() { sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; }
runs=
seconds=
out="$root/build/fuzz"
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --runs) runs=${2:?--runs needs a number}; shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    -*) echo "run_fuzz: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
for n in "$runs" "$seconds"; do
  [[ -z "$n" || "$n" =~ ^[0-9]+$ ]] || { echo "run_fuzz: not a number: $n" >&2; exit 2; }
done
[ ${#targets[@]} -gt 0 ] || { usage >&2; exit 2; }
[ -n "$runs$seconds" ] || runs=100000
command -v clang++ >/dev/null || { echo "run_fuzz: clang++ is missing (scripts/install-deps.sh)" >&2; exit 2; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

# shellcheck disable=SC2054  # the commas belong to the sanitizer list
cxxflags=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -g -O1 -std=c++17 -Wall -Wextra)
# A sanitizer report is a finding whatever it is; print where it happened.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# run_target NAME: builds, seeds and runs one target; returns 0 clean, 1 finding, 2 error.
run_target() {
  local name=$1
  local def="$here/targets/$name.sh"
  [ -f "$def" ] || { echo "run_fuzz: no target '$name' ($def is missing)" >&2; return 2; }
  local FUZZ_SOURCES=() FUZZ_INCLUDES=() FUZZ_OPTIONS=()
  # shellcheck source=/dev/null
  source "$def"
  local bin="$out/${name}_fuzz" seeds="$out/seeds/$name" corpus="$out/corpus/$name"
  local findings="$out/findings/$name" log="$out/logs/$name.log"
  mkdir -p "$out/logs" "$corpus" "$findings"

  # One run of a target at a time per output folder: they share its binary and corpus.
  exec 8>"$out/$name.lock"
  flock 8

  local srcs=() incs=() s
  for s in "${FUZZ_SOURCES[@]}"; do srcs+=("$root/$s"); done
  for s in "${FUZZ_INCLUDES[@]}"; do incs+=("-I$root/$s"); done
  if ! clang++ "${cxxflags[@]}" "${incs[@]}" -o "$bin.tmp" "${srcs[@]}" 2>"$out/logs/$name.build.log"; then
    cat "$out/logs/$name.build.log" >&2
    echo "run_fuzz: $name: build failed" >&2
    return 2
  fi
  mv "$bin.tmp" "$bin"

  rm -rf "$seeds"
  mkdir -p "$seeds"
  if ! fuzz_seeds "$seeds"; then
    echo "run_fuzz: $name: the seed files could not be made" >&2
    return 2
  fi

  local opts=("${FUZZ_OPTIONS[@]}" -print_final_stats=1 "-artifact_prefix=$findings/")
  [ -f "$here/targets/$name.dict" ] && opts+=("-dict=$here/targets/$name.dict")
  opts+=("-runs=${runs:--1}")
  [ -z "$seconds" ] || opts+=("-max_total_time=$seconds")
  local t0=$SECONDS rc=0
  "$bin" "${opts[@]}" "$corpus" "$seeds" >"$log" 2>&1 || rc=$?
  local took=$((SECONDS - t0))
  local execs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  if [ $rc -ne 0 ]; then
    local artifact
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n1)
    echo "$name: FINDING after ${execs:-?} executions in ${took} s (exit code $rc); log $log"
    grep -m1 -A25 '^==[0-9]*==ERROR\|runtime error:\|_fuzz: \|^SUMMARY: \|ERROR: libFuzzer' "$log" | sed 's/^/  /' || true
    if [ -n "$artifact" ]; then
      echo "  input: $artifact"
      echo "  reproduce: $bin $artifact"
      echo "  minimise:  $bin -minimize_crash=1 -runs=100000 $artifact"
    fi
    return 1
  fi
  [ -n "$execs" ] || { echo "run_fuzz: $name: no execution count in $log" >&2; return 2; }
  echo "$name: $execs executions in ${took} s, no finding (corpus $(find "$corpus" -type f | wc -l) inputs)"
  return 0
}

worst=0
for t in "${targets[@]}"; do
  rc=0
  ( run_target "$t" ) || rc=$?
  if [ $rc -gt $worst ]; then worst=$rc; fi
done
exit $worst
