#!/usr/bin/env bash
# The README's picture of the construction window (docs/flow.png): under Xvfb, a line of two fibres
# made by lumvaris-cli synth in both directions, three splices and the line's end placed by mouse
# clicks that go through the X server (xdotool). The test that takes it checks the table and the
# yellow lines over the traces.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target test_shell
LUMVARIS_FLOW_SHOT="$root/docs/flow.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  build/tests/test_shell --gtest_filter='FlowShotTest.*'
