# Test display and sound device for a run of Windows programs under Wine.
# Source this file, then:
#   harness_start <state-dir>   starts one Xvfb and one PulseAudio daemon (null sink)
#                               and exports DISPLAY, PULSE_SERVER, XDG_RUNTIME_DIR
#   harness_wine_up <prefix>    creates the Wine prefix if needed and keeps one Wine
#                               server (with its service processes) running for all
#                               the programs that follow
#   harness_stop                stops exactly those processes (by process id) and
#                               the Wine server of the prefix, if one runs
# The null sink's monitor source "gyrelot_null.monitor" can be recorded with parec.

harness_start() {
  HARNESS_DIR=$1
  mkdir -p "$HARNESS_DIR"
  rm -f "$HARNESS_DIR/display" "$HARNESS_DIR/pulse.sock"

  # Xvfb picks a free display number itself and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$HARNESS_DIR/display" >"$HARNESS_DIR/xvfb.log" 2>&1 &
  HARNESS_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$HARNESS_DIR/display" ] && break
    kill -0 "$HARNESS_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$HARNESS_DIR/display" ]; then
    echo "harness: Xvfb did not start (see $HARNESS_DIR/xvfb.log)" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$HARNESS_DIR/display")"

  export XDG_RUNTIME_DIR="$HARNESS_DIR/xdg"
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=gyrelot_null" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$HARNESS_DIR/pulse.sock" \
    >"$HARNESS_DIR/pulseaudio.log" 2>&1 &
  HARNESS_PULSE_PID=$!
  export PULSE_SERVER="unix:$HARNESS_DIR/pulse.sock"
  for i in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$HARNESS_PULSE_PID" 2>/dev/null || break
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "harness: PulseAudio did not start (see $HARNESS_DIR/pulseaudio.log)" >&2
    return 1
  fi
  echo "harness: display $DISPLAY (Xvfb pid $HARNESS_XVFB_PID), sound $PULSE_SERVER (pulseaudio pid $HARNESS_PULSE_PID)"
}

harness_wine_up() {
  export WINEPREFIX=$1
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  # Wine starts its service processes with the first program; they inherit that
  # program's output. Started here against /dev/null, they never hold a test's
  # output pipe open (which would make the test look hung until it times out).
  # The first run also creates the prefix. The server is then made persistent: that
  # needs the prefix to exist and no server running for it (`wineserver -p` does not
  # change a running one, it fails), so the first run's server is let end first.
  # Then the services are started again.
  "$here/wine-run.sh" cmd /c exit 0 </dev/null >/dev/null 2>&1
  timeout 30 wineserver -w || true
  wineserver -p 2>/dev/null || echo "harness: a Wine server is still running for $WINEPREFIX; not made persistent" >&2
  "$here/wine-run.sh" cmd /c exit 0 </dev/null >/dev/null 2>&1
}

harness_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    # The Wine server and its helper processes still hold the display.
    wineserver -k 2>/dev/null || true
    timeout 10 wineserver -w 2>/dev/null || true
  fi
  local pid
  for pid in ${HARNESS_PULSE_PID:-} ${HARNESS_XVFB_PID:-}; do
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  HARNESS_PULSE_PID=
  HARNESS_XVFB_PID=
}
