#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-30}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWRENVIA_FUZZ=ON -DWRENVIA_TESTS=OFF
shopt -s nullglob
targets=()
for src in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
[ ${#targets[@]} -gt 0 ] && cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
found=0
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
  found=1
  name=$(basename "$fuzzer")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds="tests/fuzz/seeds/${name%_fuzz}"
  echo "fuzz: $name for ${seconds}s"
  if [ -d "$seeds" ]; then
    "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "$seeds"
  else
    "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
  fi
done
[ $found -eq 1 ] || echo "fuzz: no fuzz targets"
