#!/usr/bin/env bash
# The README's picture of a printed trace page (docs/print-page.png): an instrument's .sor from the
# shared corpus with markers 1, 2 and 3, printed into a PDF by the main window's quick print and
# rendered with pdftoppm. The test that makes it checks the page's values against
# `lumvaris-cli info --m1 … --m2 … --m3 …` on the same file.
. "$(dirname "$0")/lib.sh"
lv_build test_shell lumvaris-cli lumvaris
LUMVARIS_PRINT_SHOT="$root/docs/print-page.png" \
  build/tests/test_shell --gtest_filter='PrintCommandsTest.AnInstrumentsTrace*'
