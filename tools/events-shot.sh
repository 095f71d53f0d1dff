#!/usr/bin/env bash
# The README's picture of the table "События" (docs/events.png): the main window under Xvfb with
# an instrument's .sor from the shared corpus, an event chosen by a mouse click on its row that
# goes through the X server (xdotool). The test that takes it checks that every event's tick
# stands on the trace where its row says.
. "$(dirname "$0")/lib.sh"
lv_build test_shell
lv_shell_shot LUMVARIS_EVENTS_SHOT "$root/docs/events.png" 1280x800 \
  'EventsShotTest.*'
