#!/usr/bin/env bash
# The README's pictures of the interface parameters dialog, one a page (docs/params-*.png), of the
# export dialog (docs/export-dialog.png) and of the graph's menu (docs/popup.png): under Xvfb,
# taken by the tests that check the dialogs' texts (and that nothing of them is cut) and the
# menu's items.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target test_shell
LUMVARIS_DIALOG_SHOTS="$root/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  build/tests/test_shell --gtest_filter='DisplayParamsTest.TextsAreTheDialogsOwnAndShownWhole:ViewCommandsTest.ThePopupHoldsItsItemsInOrder:ExportForm.ShowsItsTextsAndRefusesAnEmptyName'
