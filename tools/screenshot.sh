#!/usr/bin/env bash
# The README's picture of the main window (docs/screenshot.png): the program under Xvfb with two
# demonstration traces, the registration accepted with Enter, the screen grabbed.
. "$(dirname "$0")/lib.sh"
lv_build lumvaris lumvaris-cli
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
lv_demo_traces "$work"
mkdir -p "$work/home"
HOME="$work/home" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x740x24" bash -c '
  "$1" "$2/Демо 1310.tra" "$2/Демо 1550.tra" & pid=$!
  sleep 4; xdotool key Return; sleep 3
  import -window root "$3"
  kill $pid' _ "$root/build/src/lumvaris" "$work" "$root/docs/screenshot.png"
