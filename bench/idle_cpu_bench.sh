#!/usr/bin/env bash
# CPU used under Wine by an idle game: Gyrelot.exe logged in to a wheel-server on
# 127.0.0.1:18001 (started here) and left alone, against a bare window with a 1-ms
# timer, and against nothing at all; each phase measured over $1 seconds (default 20)
# from /proc (utime + stime) as % of one core, for the program's Wine process, the
# Wine server and Wine's other processes of the prefix. Needs the win64 and native
# builds; uses a Wine prefix of its own (build/win64/wineprefix-bench).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${1:-}" in -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
seconds=${1:-20}
case "$seconds" in ''|*[!0-9]*|0) echo "idle_cpu_bench: seconds must be a positive whole number" >&2; exit 2 ;; esac

bin=$root/build/win64/bin
server_exe=$root/build/native/bin/wheel-server
for exe in "$bin/Gyrelot.exe" "$bin/bare_timer_window.exe" "$bin/ui_driver.exe" "$server_exe"; do
  [ -e "$exe" ] || { echo "idle_cpu_bench: $exe is missing; build the win64 and native presets first" >&2; exit 1; }
done

caption=幸运大转盘
port=18001
bench_prefix=$root/build/win64/wineprefix-bench
work=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-idle-bench-XXXXXX")
server_pid=
program_pid=
harness_up=

cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null || true; fi
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ -n "$harness_up" ]; then
    harness_stop
  elif [ "${WINEPREFIX:-}" = "$bench_prefix" ]; then
    # The bench's own prefix: its Wine server is no one else's.
    wineserver -k 2>/dev/null || true
  fi
  case "$work" in */gyrelot-idle-bench-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT

# shellcheck source=scripts/harness.sh
source scripts/harness.sh
if [ -z "${DISPLAY:-}" ]; then
  harness_start "$work/harness" >/dev/null
  harness_up=1
fi
harness_wine_up "$bench_prefix"

clk_tck=$(getconf CLK_TCK)

# utime + stime of one process, in clock ticks (0 when it is gone).
cpu_ticks() {
  local stat=
  # (No pid must not read /proc//stat, which is the whole system's.)
  if [ -n "$1" ]; then stat=$(cat "/proc/$1/stat" 2>/dev/null) || stat=; fi
  [ -n "$stat" ] || { echo 0; return; }
  # The name in parentheses may hold spaces: count fields after its closing one.
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}

# The processes of this bench's Wine prefix, one pid a line.
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "${p#/proc/}"
  done
  return 0
}

wineserver_pid() {
  local p
  for p in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
  done
}

sum_ticks() {
  local total=0 p
  for p in "$@"; do total=$((total + $(cpu_ticks "$p"))); done
  echo "$total"
}

percent() {  # <ticks> <wall seconds>
  awk -v t="$1" -v w="$2" -v hz="$clk_tck" 'BEGIN { printf "%.2f", 100 * t / hz / w }'
}

# Measures the CPU of `program` (a pid, or empty), the Wine server and the prefix's other
# processes over $seconds; prints one line under `label`.
measure() {
  local label=$1 program=$2 server others before_p before_s before_o t0 t1 wall p
  server=$(wineserver_pid)
  others=()
  for p in $(prefix_pids); do
    [ "$p" = "$program" ] || [ "$p" = "$server" ] || others+=("$p")
  done
  before_p=$(sum_ticks "$program")
  before_s=$(sum_ticks "$server")
  before_o=$(sum_ticks "${others[@]}")
  t0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(date +%s.%N)
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
  printf '%-34s program %6s %%   wineserver %6s %%   other Wine processes %6s %%   (%.1f s)\n' "$label" \
    "$(if [ -n "$program" ]; then percent $(($(sum_ticks "$program") - before_p)) "$wall"; else echo -; fi)" \
    "$(percent $(($(sum_ticks "$server") - before_s)) "$wall")" \
    "$(percent $(($(sum_ticks "${others[@]}") - before_o)) "$wall")" "$wall"
}

# One game per prefix (its mutex): a game left running in the bench's prefix would
# make ours end at once.
for p in $(prefix_pids); do
  if tr '\0' ' ' 2>/dev/null <"/proc/$p/cmdline" | grep -qi 'Gyrelot\.exe'; then
    echo "idle_cpu_bench: a Gyrelot.exe (pid $p) runs in $WINEPREFIX already" >&2
    exit 1
  fi
done

# The game always talks to port 18001: wait a while for another user of it to finish.
for _ in $(seq 30); do
  ss -Hlun "sport = :$port" 2>/dev/null | grep -q . || break
  sleep 1
done
if ss -Hlun "sport = :$port" 2>/dev/null | grep -q .; then
  echo "idle_cpu_bench: UDP port $port stays in use; the game cannot be given a server of ours" >&2
  exit 1
fi
"$server_exe" --listen 127.0.0.1 --port "$port" --db "$work/wheel.db" --stats-interval 0 \
  >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q listening "$work/server.log" 2>/dev/null && break; sleep 0.05; done
grep -q listening "$work/server.log" || { echo "wheel-server did not start:" >&2; cat "$work/server.log" >&2; exit 1; }

echo "idle CPU under Wine, $seconds s per phase, % of one core ($(nproc) cores here)"
measure "nothing running" ""

# The bare window ends by itself after the warm-up and the measurement.
scripts/wine-run.sh "$bin/bare_timer_window.exe" $((seconds + 6)) >"$work/bare.txt" 2>&1 &
program_pid=$!
sleep 3
measure "bare window, 1-ms timer" "$program_pid"
wait "$program_pid" || true
program_pid=
echo "  bare window: $(grep 'ticks per second' "$work/bare.txt" || echo 'no figure')"

# 2130706433 is 127.0.0.1.
scripts/wine-run.sh "$bin/Gyrelot.exe" "7|bench|2130706433" >"$work/game.txt" 2>&1 &
program_pid=$!
if ! scripts/wine-run.sh "$bin/ui_driver.exe" wait-text --caption "$caption" --name ReMsg --contains 登陆成功 \
  --timeout 30000 >"$work/login.txt" 2>&1; then
  echo "idle_cpu_bench: the game did not log in:" >&2
  cat "$work/login.txt" "$work/server.log" >&2
  exit 1
fi
sleep 2
measure "Gyrelot.exe logged in, idle" "$program_pid"
# The background sound off (the check box): the poll timer and the heartbeat remain.
scripts/wine-run.sh "$bin/ui_driver.exe" click --caption "$caption" --name skSkinCheckBox1 >/dev/null 2>&1 ||
  echo "  (the sound box could not be clicked)"
sleep 2
measure "Gyrelot.exe idle, sound box off" "$program_pid"
# Closed as the player closes it: five logouts go out.
scripts/wine-run.sh "$bin/ui_driver.exe" click --caption "$caption" --name ImgExit >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
wait "$program_pid" 2>/dev/null || true
program_pid=
