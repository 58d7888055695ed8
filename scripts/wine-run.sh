#!/usr/bin/env bash
# Runs one Windows program under Wine as the target systems run it: ANSI code page
# 936 (GBK), the test display and sound device, and the Wine prefix of the build
# tree, which is created on first use. ctest calls this for every Windows test.
#
#   scripts/wine-run.sh program.exe [args...]
#
# Needs DISPLAY (and for sound PULSE_SERVER) from scripts/harness.sh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the prefix needs neither, and they cannot be fetched.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: DISPLAY is not set; start the test display first (scripts/harness.sh)" >&2
  exit 2
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Several tests may start at once; one of them creates the prefix.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    env LC_ALL=zh_CN.UTF-8 wineboot -i >/dev/null 2>&1
    # One virtual desktop in which Wine draws the window frames itself: the test
    # display has no window manager, and screenshots should show the captions.
    env LC_ALL=zh_CN.UTF-8 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    env LC_ALL=zh_CN.UTF-8 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
  fi
  flock -u 9
  exec 9>&-
fi

exec env LC_ALL=zh_CN.UTF-8 wine "$@"
