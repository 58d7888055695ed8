#!/usr/bin/env bash
# The main job: installs what is needed, builds everything, and runs the system.
# So far the system is its foundation (the records on the wire, the utilities and the
# build for Windows and Linux): this builds all three presets and lists what it built.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

case "${1:-}" in
  -h|--help)
    sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'
    echo "Usage: bash scripts/run.sh"
    exit 0 ;;
esac

bash scripts/install-deps.sh
for preset in native win64 win32; do
  echo "=== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo
echo "=== built"
for preset in native win64 win32; do
  echo "$preset:"
  find "build/$preset" \( -name googletest -o -name wineprefix -o -name harness -o -name CMakeFiles \) -prune -o \
    -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.a' -o \( -perm -u+x ! -name '*.*' \) \) -print |
    sort | sed 's/^/  /'
done
