#!/usr/bin/env bash
# Sets up and runs every test: installs the Debian packages, builds the three
# presets (native, win64, win32; warnings are errors), runs the native tests with
# the sanitizers, then the Windows tests under Wine with a test display and sound
# device that this script starts and stops. Exits non-zero if anything failed.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-}" in
  -h|--help)
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
    echo "Usage: bash scripts/test.sh"
    exit 0 ;;
esac

bash scripts/install-deps.sh || exit 1

failed=()
declare -A took

stage() {  # stage <name> <command...>: runs, times and records one stage
  local name=$1; shift
  local t0=$SECONDS
  echo "=== $name"
  if "$@"; then took[$name]=$((SECONDS - t0)); else took[$name]="$((SECONDS - t0)) FAILED"; failed+=("$name"); fi
}

build() {
  cmake --preset "$1" -DGYRELOT_WERROR=ON >"build-$1.configure.log" 2>&1 || { cat "build-$1.configure.log"; return 1; }
  rm -f "build-$1.configure.log"
  cmake --build --preset "$1" -j "$jobs"
}

mkdir -p build
for preset in native win64 win32; do
  stage "build $preset" build "$preset"
done

if [ -d build/native ]; then
  stage "test native" ctest --preset native -j "$jobs"
fi

if [ -d build/win64 ]; then
  # shellcheck source=scripts/harness.sh
  source scripts/harness.sh
  export WINEPREFIX="$root/build/win64/wineprefix"
  trap harness_stop EXIT
  if harness_start "$root/build/win64/harness"; then
    # One Wine server for all the tests instead of one started (and waited for) per test.
    stage "wine prefix" harness_wine_up "$WINEPREFIX"
    stage "test win64" ctest --preset win64 -j "$jobs"
  else
    failed+=("harness")
  fi
  harness_stop
  trap - EXIT
fi

echo
echo "=== summary (seconds)"
for k in "build native" "build win64" "build win32" "test native" "wine prefix" "test win64"; do
  [ -n "${took[$k]:-}" ] && printf '  %-12s %s\n' "$k" "${took[$k]}"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
