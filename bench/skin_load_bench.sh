#!/usr/bin/env bash
# Times Tdm::LoadSkin of the game's skin under Wine: the first call and the median of
# the next ones (rounds as $1, default 50). Needs the win64 build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,3p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
exe="$root/build/win64/bin/skin_load_bench.exe"
[ -e "$exe" ] || { echo "skin_load_bench: $exe is missing; build the win64 preset first" >&2; exit 1; }
# shellcheck source=scripts/harness.sh
source scripts/harness.sh
if [ -z "${DISPLAY:-}" ]; then
  harness_start "$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")" >/dev/null
  trap harness_stop EXIT
fi
harness_wine_up "$root/build/win64/wineprefix"
scripts/wine-run.sh "$exe" "${1:-50}"
