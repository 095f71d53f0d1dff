#!/usr/bin/env bash
# The README's picture of the inspection window (docs/inspection.png): the main window under Xvfb
# with a line of synthetic fibre traces entered as incoming inspection, the cable data typed into
# the inspection window standing over it.
. "$(dirname "$0")/lib.sh"
lv_build test_shell
lv_shell_shot LUMVARIS_INSPECTION_SHOT "$root/docs/inspection.png" 1280x800 \
  'InBeforeTest.TheRequestCarriesTheFieldsAndTheListingsFibreNumbers'
