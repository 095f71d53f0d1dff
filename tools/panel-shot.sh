#!/usr/bin/env bash
# The README's picture of the parameter panel (docs/panel.png): the main window under Xvfb with an
# instrument's .sor from the shared corpus and three markers placed by mouse clicks that go
# through the X server (xdotool). The test that takes it checks every reading of the panel
# against `lumvaris-cli info --m1 … --m2 … --m3 …` on the same file.
. "$(dirname "$0")/lib.sh"
lv_build test_shell lumvaris-cli
lv_shell_shot LUMVARIS_PANEL_SHOT "$root/docs/panel.png" 1024x768 \
  'PanelCorpusTest.*'
