#!/usr/bin/env bash
# The README's picture of the construction window (docs/flow.png): under Xvfb, a line of two fibres
# made by lumvaris-cli synth in both directions, three splices and the line's end placed by mouse
# clicks that go through the X server (xdotool). The test that takes it checks the table and the
# yellow lines over the traces.
. "$(dirname "$0")/lib.sh"
lv_build test_shell
lv_shell_shot LUMVARIS_FLOW_SHOT "$root/docs/flow.png" 1280x800 \
  'FlowShotTest.*'
