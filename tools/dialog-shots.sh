#!/usr/bin/env bash
# The README's pictures of the interface parameters dialog, one a page (docs/params-*.png), of the
# export dialog (docs/export-dialog.png) and of the graph's menu (docs/popup.png): under Xvfb,
# taken by the tests that check the dialogs' texts (and that nothing of them is cut) and the
# menu's items.
. "$(dirname "$0")/lib.sh"
lv_build test_shell
lv_shell_shot LUMVARIS_DIALOG_SHOTS "$root/docs" 1024x768 \
  'DisplayParamsTest.TextsAreTheDialogsOwnAndShownWhole:ViewCommandsTest.ThePopupHoldsItsItemsInOrder:ExportForm.ShowsItsTextsAndRefusesAnEmptyName'
