# Sourced by the tools: the checkout's root as the working folder, and what they share.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

# The packages, then the optimised build in build/ of the targets named (all without a name).
lv_build() {
  "$root/tools/setup.sh"
  export CCACHE_BASEDIR="$root"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"${JOBS:-2}" ${1:+--target "$@"}
}

# A README picture taken by tests of test_shell under Xvfb:
# lv_shell_shot VARIABLE VALUE SCREEN FILTER, with SCREEN as "1280x800".
lv_shell_shot() {
  env "$1=$2" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 $3x24" \
    build/tests/test_shell --gtest_filter="$4"
}

# The two demonstration traces of a line at 1310 and 1550 nm in the folder $1.
lv_demo_traces() {
  local cli="$root/build/src/lumvaris-cli"
  "$cli" synth "$1/Демо 1310.tra" --length-km 24 --wavelength 1310 --seed 1 \
    --events "splice@6:0.12,connector@11.5:0.5:14,splice@17:0.2"
  "$cli" synth "$1/Демо 1550.tra" --length-km 24 --wavelength 1550 --seed 2 \
    --events "splice@6:0.08,connector@11.5:0.45:14,splice@17:0.15"
}
