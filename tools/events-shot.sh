#!/usr/bin/env bash
# The README's picture of the table "События" (docs/events.png): the main window under Xvfb with
# an instrument's .sor from the shared corpus, an event chosen by a mouse click on its row that
# goes through the X server (xdotool). The test that takes it checks that every event's tick
# stands on the trace where its row says.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target test_shell
LUMVARIS_EVENTS_SHOT="$root/docs/events.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  build/tests/test_shell --gtest_filter='EventsShotTest.*'
