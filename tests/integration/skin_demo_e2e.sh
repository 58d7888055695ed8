#!/usr/bin/env bash
# skin_demo.exe driven from outside as a person would, with the game's skin and with
# none (the plain look): the window and its named controls appear, the picture
# button opens the skinned message box, which is answered, and the exit picture
# closes the program, which ends with 0.
#   skin_demo_e2e.sh <bin folder of the win64 build>
set -uo pipefail
bin=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
run="$here/scripts/wine-run.sh"
driver="$bin/ui_driver.exe"
empty=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-noskin-XXXXXX")
trap 'case "$empty" in */gyrelot-noskin-*) rm -rf "$empty" ;; esac' EXIT
failed=0

check() {  # check <what> <command...>
  if ! "${@:2}"; then
    echo "FAILED: $1" >&2
    failed=1
    return 1
  fi
}

one_run() {  # one_run <label> [skin_demo args...]
  local label=$1; shift
  "$run" "$bin/skin_demo.exe" "$@" &
  local pid=$!
  check "$label: window shown" "$run" "$driver" wait --caption 幸运大转盘 --timeout 20000 >/dev/null || { kill "$pid"; return; }
  local dump
  dump=$("$run" "$driver" dump --caption 幸运大转盘 --timeout 5000)
  for name in img_bottom img_Right L_OnlineCount skSkinCheckBox1 ReMsg Lbl_UserMoney LblMoney ImgStart ImgExit Btn_Message; do
    check "$label: control $name" grep -q "^$name	" <<<"$dump"
  done
  check "$label: coin label" grep -q "^Lbl_UserMoney	TLabel	1	144,508,101,13	1000$" <<<"$dump"
  check "$label: click the picture button" "$run" "$driver" click --caption 幸运大转盘 --name Btn_Message --timeout 5000
  local box
  box=$("$run" "$driver" answer --caption 信息 --button ok --timeout 10000)
  check "$label: skinned box answered" grep -q "这是皮肤消息框" <<<"$box"
  check "$label: click ImgExit" "$run" "$driver" click --caption 幸运大转盘 --name ImgExit --timeout 5000
  check "$label: window closed" "$run" "$driver" wait-gone --caption 幸运大转盘 --timeout 10000
  local rc=0
  wait "$pid" || rc=$?
  check "$label: exit code 0 (was $rc)" test "$rc" -eq 0
}

one_run "game skin"
one_run "plain look" --skin-dir "Z:${empty//\//\\}\\"
exit $failed
