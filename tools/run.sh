#!/usr/bin/env bash
# Builds the program and starts it with demonstration traces.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMVARIS_TESTS=OFF >/dev/null
cmake --build build -j"${JOBS:-2}"
echo "Программа ещё не собрана: пока готово только ядро."
