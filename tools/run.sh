#!/usr/bin/env bash
# Builds the program and starts it with demonstration traces (made by lumvaris-cli synth).
. "$(dirname "$0")/lib.sh"
lv_build

demo="$root/build/demo"
mkdir -p "$demo"
lv_demo_traces "$demo"
"$root/build/src/lumvaris-cli" synth "$demo/Демо 1550 длинная.sor" --length-km 80 --wavelength 1550 --pulse 1000 \
  --samples 200000 --seed 3

exec "$root/build/src/lumvaris" "$demo"/*.tra "$demo"/*.sor
