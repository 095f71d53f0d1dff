#!/usr/bin/env bash
# Builds the libFuzzer targets: each fuzz/fuzz_*.cpp with the core sources compiled in, so that
# the readers are instrumented; and each fuzz/seeds_*.cpp, a plain program that writes a seed
# corpus. Usage: fuzz/build.sh [out-dir]; then run e.g.
#   fuzz/out/seeds_tra fuzz/corpus-tra && fuzz/out/fuzz_tra -max_total_time=600 fuzz/corpus-tra
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/fuzz/out}"
mkdir -p "$out"
core=("$root"/src/trace/*.cpp "$root"/src/formats/*.cpp)
for target in "$root"/fuzz/fuzz_*.cpp; do
  [ -e "$target" ] || continue
  name="$(basename "$target" .cpp)"
  echo "building $name"
  clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I"$root/src" \
    "$target" "${core[@]}" -o "$out/$name"
done
for seeds in "$root"/fuzz/seeds_*.cpp; do
  [ -e "$seeds" ] || continue
  name="$(basename "$seeds" .cpp)"
  echo "building $name"
  clang++-14 -std=c++20 -O1 -I"$root/src" "$seeds" "${core[@]}" -o "$out/$name"
done
