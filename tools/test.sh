#!/usr/bin/env bash
# Builds everything and runs every test: the optimised build, then everything again under
# AddressSanitizer and UndefinedBehaviorSanitizer (the core, the command-line tool and the
# widgets alike), then the device layer's tests under ThreadSanitizer (only the core and that
# test program are built for it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"

export CCACHE_BASEDIR="$root"
jobs="${JOBS:-2}"

# A test that skips (no real-file corpus beside the checkout, no office) passes inside its test
# program, where ctest's summary does not show it: name each one and say why.
report_skips() {
  local log="$1/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || return 0
  local skips
  skips="$(awk '/: Skipped$/ { getline why; next }
                /^\[  SKIPPED \] [^ ]+ \(/ { print "  " $4 ": " why }' "$log" | sort -u)"
  [ -n "$skips" ] && printf 'Пропущены тесты (%s):\n%s\n' "$1" "$skips"
  return 0
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
report_skips build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLUMVARIS_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")
report_skips build-asan

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMVARIS_CORE_ONLY=ON -DLUMVARIS_TSAN=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target test_devices
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -R '^test_devices$')
echo "Все тесты пройдены."
