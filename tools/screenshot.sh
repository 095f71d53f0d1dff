#!/usr/bin/env bash
# The README's picture of the main window (docs/screenshot.png): the program under Xvfb with two
# demonstration traces, the registration accepted with Enter, the screen grabbed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target lumvaris lumvaris-cli
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cli="$root/build/src/lumvaris-cli"
"$cli" synth "$work/Демо 1310.tra" --length-km 24 --wavelength 1310 --seed 1 \
  --events "splice@6:0.12,connector@11.5:0.5:14,splice@17:0.2"
"$cli" synth "$work/Демо 1550.tra" --length-km 24 --wavelength 1550 --seed 2 \
  --events "splice@6:0.08,connector@11.5:0.45:14,splice@17:0.15"
mkdir -p "$work/home"
HOME="$work/home" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x740x24" bash -c '
  "$1" "$2/Демо 1310.tra" "$2/Демо 1550.tra" & pid=$!
  sleep 4; xdotool key Return; sleep 3
  import -window root "$3"
  kill $pid' _ "$root/build/src/lumvaris" "$work" "$root/docs/screenshot.png"
