#!/usr/bin/env bash
# The README's picture of the inspection window (docs/inspection.png): the main window under Xvfb
# with a line of synthetic fibre traces entered as incoming inspection, the cable data typed into
# the inspection window standing over it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target test_shell
LUMVARIS_INSPECTION_SHOT="$root/docs/inspection.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  build/tests/test_shell --gtest_filter='InBeforeTest.TheRequestCarriesTheFieldsAndTheListingsFibreNumbers'
