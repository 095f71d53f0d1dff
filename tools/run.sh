#!/usr/bin/env bash
# Builds the program and starts it with demonstration traces (made by lumvaris-cli synth).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"

demo="$root/build/demo"
mkdir -p "$demo"
cli="$root/build/src/lumvaris-cli"
"$cli" synth "$demo/Демо 1310.tra" --length-km 24 --wavelength 1310 --seed 1 \
  --events "splice@6:0.12,connector@11.5:0.5:14,splice@17:0.2"
"$cli" synth "$demo/Демо 1550.tra" --length-km 24 --wavelength 1550 --seed 2 \
  --events "splice@6:0.08,connector@11.5:0.45:14,splice@17:0.15"
"$cli" synth "$demo/Демо 1550 длинная.sor" --length-km 80 --wavelength 1550 --pulse 1000 \
  --samples 200000 --seed 3

exec "$root/build/src/lumvaris" "$demo"/*.tra "$demo"/*.sor
