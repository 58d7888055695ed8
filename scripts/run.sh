#!/usr/bin/env bash
# The main job: installs what is needed, builds everything, and runs the updater for
# real: publishes a demo installation with `publish`, serves it with `update-server`
# on 127.0.0.1:6001, prepares a local installation one version behind (with its
# update.ini and a running target program), and runs update.exe under Wine (on your
# display if there is one, else on a private Xvfb, saving screenshots). It answers the
# question box for you, then shows what changed. Then the game: `wheel-server` on
# 127.0.0.1:18001 and two players, each a Gyrelot.exe window (the second in a second
# Wine prefix, build/win64/wineprefix2, made on first use), played through ui_driver.exe
# as a person would: a few spins each (start, stop, result). It prints both message
# panes, the labels and the server's log, saves screenshots in build/demo/shots/, and
# closes both windows.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

case "${1:-}" in
  -h|--help)
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    echo "Usage: bash scripts/run.sh"
    exit 0 ;;
esac

bash scripts/install-deps.sh
for preset in native win64 win32; do
  echo "=== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" | tail -n 1
done

demo="$root/build/demo"
case "$demo" in */build/demo) rm -rf "$demo" ;; esac
mkdir -p "$demo/published" "$demo/install" "$demo/shots"
bin="$root/build/win64/bin"

echo "=== publish version 2 of a demo installation"
pub="$demo/published"
mkdir -p "$pub/GameSkin/Wheel/png" "$pub/GameSkin/Wheel/sound" "$pub/资料"
cp "$root/assets/update/image2.bmp" "$pub/GameSkin/Wheel/png/banner.bmp"
head -c 3000 /dev/urandom >"$pub/GameSkin/Wheel/sound/spin.wav"
printf '第二版的说明\r\n' >"$pub/资料/说明.txt"
: >"$pub/empty.dat"
head -c $((48 * 1048576)) /dev/urandom >"$pub/GameSkin/pack.bin"
printf 'version 2 notes\r\n' >"$pub/readme.txt"
build/native/bin/publish "$pub" --version 2

echo "=== a local installation at version 1"
inst="$demo/install"
cp "$bin/update.exe" "$bin/Durnix.dll" "$inst/"
cp "$bin/target_program.exe" "$inst/Halvo.exe"
printf '[update]\r\nhost=127.0.0.1\r\nExeName=Halvo.exe\r\n' >"$inst/update.ini"
printf '[ver]\r\nlastVer=1\r\n' >"$inst/lastVer.txt"
printf 'version 1 notes\r\n' >"$inst/readme.txt"
mkdir -p "$inst/GameSkin/Wheel/png"
cp "$pub/GameSkin/Wheel/png/banner.bmp" "$inst/GameSkin/Wheel/png/banner.bmp"   # already current
snapshot() { (cd "$inst" && find . -type f ! -name '*.log' -printf '%P\n' | sort | while read -r f; do
  printf '%s  %s\n' "$(md5sum <"$f" | cut -c1-12)" "$f"; done); }
snapshot >"$demo/before.txt"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  # The second prefix's Wine server ends by itself once its programs have.
  [ -n "${prefix2:-}" ] && { WINEPREFIX="$prefix2" timeout 30 wineserver -w 2>/dev/null || true; }
  [ -n "${HARNESS_XVFB_PID:-}" ] && harness_stop
  return 0
}
trap cleanup EXIT
# forget <pid>: a process that has ended and been waited for is not ended again.
forget() {
  local keep=() p
  for p in "${pids[@]}"; do [ "$p" = "$1" ] || keep+=("$p"); done
  pids=("${keep[@]}")
}

echo "=== update-server on 127.0.0.1:6001"
build/native/bin/update-server --root "$pub" --listen 127.0.0.1 --port 6001 >"$demo/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q serving "$demo/server.log" 2>/dev/null && break; sleep 0.05; done
if ! grep -q serving "$demo/server.log"; then
  echo "update-server did not start (is port 6001 in use?):" >&2
  cat "$demo/server.log" >&2
  exit 1
fi

# shellcheck source=scripts/harness.sh
source scripts/harness.sh
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "=== using your display $DISPLAY"
  export WINEPREFIX="$root/build/win64/wineprefix"
  harness_wine_up "$WINEPREFIX"
else
  harness_start "$demo/harness"
  harness_wine_up "$root/build/win64/wineprefix"
fi

echo "=== the target program is running"
scripts/wine-run.sh "$inst/Halvo.exe" &
pids+=($!)
sleep 1

echo "=== update.exe"
scripts/wine-run.sh "$inst/update.exe" &
update_pid=$!
scripts/wine-run.sh "$bin/ui_driver.exe" answer --caption 自动升级 --button yes --timeout 30000 || true
scripts/wine-run.sh "$bin/ui_driver.exe" wait --caption 自动升级 --timeout 10000 >/dev/null || true
sleep 1.5
import -window root "$demo/shots/during.png" 2>/dev/null || true
scripts/wine-run.sh "$bin/ui_driver.exe" dump --caption 自动升级 --timeout 5000 >"$demo/dialog.txt" 2>/dev/null || true
wait "$update_pid" || true
sleep 1
import -window root "$demo/shots/after.png" 2>/dev/null || true

echo
echo "=== what changed in $inst"
snapshot >"$demo/after.txt"
diff "$demo/before.txt" "$demo/after.txt" || true
echo "--- recorded version: $(tr -d '\r' <"$inst/lastVer.txt" | tr '\n' ' ')"
echo "--- target program starts:"
sed 's/^/    /' "$inst/Halvo.exe.log" 2>/dev/null || true
echo "--- server log:"
sed 's/^/    /' "$demo/server.log"
echo "--- dialog controls while it ran: $demo/dialog.txt; screenshots: $demo/shots/"

echo
echo "=== wheel-server on 127.0.0.1:18001"
build/native/bin/wheel-server --listen 127.0.0.1 --port 18001 --db "$demo/wheel.db" >"$demo/wheel-server.log" 2>&1 &
wheel_pid=$!
pids+=("$wheel_pid")
for _ in $(seq 100); do grep -q listening "$demo/wheel-server.log" 2>/dev/null && break; sleep 0.05; done
if ! grep -q listening "$demo/wheel-server.log"; then
  echo "wheel-server did not start (is port 18001 in use?):" >&2
  cat "$demo/wheel-server.log" >&2
  exit 1
fi

# The second player needs a Wine prefix of its own: a game runs once per prefix. Its
# windows go straight onto the display instead of into a virtual desktop of their own,
# which would cover the first prefix's desktop and the first player's window.
prefix1=$WINEPREFIX
prefix2="$root/build/win64/wineprefix2"
if [ ! -f "$prefix2/system.reg" ]; then
  echo "=== a second Wine prefix for the second player, $prefix2 (first use only)"
fi
WINEPREFIX="$prefix2" scripts/wine-run.sh cmd /c exit 0 </dev/null >/dev/null 2>&1
WINEPREFIX="$prefix2" WINEDEBUG=-all wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f \
  </dev/null >/dev/null 2>&1 || true
WINEPREFIX="$prefix2" timeout 30 wineserver -w || true

# drive <prefix> <ui_driver command> [options]: works the game window of that prefix.
drive() {
  local prefix=$1 command=$2
  shift 2
  WINEPREFIX="$prefix" scripts/wine-run.sh "$bin/ui_driver.exe" "$command" --caption 幸运大转盘 "$@"
}
# spin <prefix> <player name> <n> [screenshot]: the player's n-th spin: start, stop
# after a while (the screenshot is taken then), and wait for its result line.
spin() {
  local prefix=$1 name=$2 n=$3 shot=${4:-}
  drive "$prefix" click --name ImgStart
  sleep 1.5
  [ -n "$shot" ] && { import -window root "$shot" 2>/dev/null || true; }
  drive "$prefix" click --name ImgStart
  local lines
  for _ in $(seq 100); do
    lines=$(drive "$prefix" text --name ReMsg | grep -o "${name}获得" | wc -l || true)
    if [ "$lines" -ge "$n" ]; then
      echo "    $name: $(drive "$prefix" text --name ReMsg | tr -d '\r' | grep "${name}获得" | tail -n 1 || true)"
      return 0
    fi
    sleep 0.3
  done
  echo "the spin of $name did not end" >&2
  return 1
}
# show <prefix>: the labels and the message pane as the player sees them.
show() {
  echo "    coins $(drive "$1" text --name Lbl_UserMoney), stake $(drive "$1" text --name LblMoney)," \
    "$(drive "$1" text --name L_OnlineCount)"
  drive "$1" text --name ReMsg | tr -d '\r' | sed '/^$/d; s/^/    | /'
}

echo "=== two players: Gyrelot.exe (玩家一), and Gyrelot.exe in the second prefix (玩家二)"
WINEPREFIX="$prefix1" scripts/wine-run.sh "$bin/Gyrelot.exe" "1001|玩家一|2130706433" >"$demo/player1.log" 2>&1 &
player1=$!
pids+=("$player1")
drive "$prefix1" wait-text --name ReMsg --contains 登陆成功 --timeout 60000 >/dev/null
WINEPREFIX="$prefix2" scripts/wine-run.sh "$bin/Gyrelot.exe" "1002|玩家二|2130706433" >"$demo/player2.log" 2>&1 &
player2=$!
pids+=("$player2")
drive "$prefix2" wait-text --name ReMsg --contains 登陆成功 --timeout 60000 >/dev/null
echo "--- both logged in"

echo "=== three spins each, in turn"
for n in 1 2 3; do
  spin "$prefix1" 玩家一 "$n"
  shot=
  [ "$n" = 2 ] && shot="$demo/shots/game-spinning.png"
  spin "$prefix2" 玩家二 "$n" "$shot"
done
sleep 1
import -window root "$demo/shots/game.png" 2>/dev/null || true

echo "--- 玩家一 sees:"
show "$prefix1"
echo "--- 玩家二 sees:"
show "$prefix2"

echo "=== both players leave (退出)"
drive "$prefix1" click --name ImgExit
drive "$prefix2" click --name ImgExit
wait "$player1" || true
wait "$player2" || true
forget "$player1"
forget "$player2"
WINEPREFIX="$prefix2" timeout 30 wineserver -w || true
kill -TERM "$wheel_pid" 2>/dev/null || true
wait "$wheel_pid" 2>/dev/null || true
echo "--- wheel-server log:"
sed 's/^/    /' "$demo/wheel-server.log"
echo "--- screenshots: $demo/shots/"
