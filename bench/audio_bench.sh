#!/usr/bin/env bash
# Measures the game's sound player under Wine: the delay from Play to the sound in a
# recording of the sound daemon (Over1 started 20 times, or $1 times), and the CPU the
# probe's Wine process uses with the mixer idle and with all four channels playing.
# Needs the native and win64 builds; starts its own display and sound daemon when
# DISPLAY is not set.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
plays=${1:-20}
bench="$root/build/native/bin/audio_bench"
probe="$root/build/win64/bin/sound_probe.exe"
for f in "$bench" "$probe"; do
  [ -e "$f" ] || { echo "audio_bench: $f is missing; build the native and win64 presets first" >&2; exit 1; }
done
# shellcheck source=scripts/harness.sh
source scripts/harness.sh
export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wineprefix}
if [ -z "${DISPLAY:-}" ]; then
  hdir=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-bench-XXXXXX")
  trap 'harness_stop; case "$hdir" in */gyrelot-bench-*) rm -rf "$hdir" ;; esac' EXIT
  harness_start "$hdir" >/dev/null
  harness_wine_up "$WINEPREFIX"
fi
"$bench" "$probe" "$root/scripts/wine-run.sh" "$plays"
