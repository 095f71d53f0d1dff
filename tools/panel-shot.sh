#!/usr/bin/env bash
# The README's picture of the parameter panel (docs/panel.png): the main window under Xvfb with an
# instrument's .sor from the shared corpus and three markers placed by mouse clicks that go
# through the X server (xdotool). The test that takes it checks every reading of the panel
# against `lumvaris-cli info --m1 … --m2 … --m3 …` on the same file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target test_shell lumvaris-cli
LUMVARIS_PANEL_SHOT="$root/docs/panel.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  build/tests/test_shell --gtest_filter='PanelCorpusTest.*'
