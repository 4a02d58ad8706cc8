#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
#
# By default every target replays its seeds and then runs a fixed number of
# mutations from a fixed random seed with address-space randomisation off,
# so that a run here and a run on another machine try much the same inputs
# (only values the code draws itself, such as MIME boundaries, still vary):
# a test run fails for a fault in the code, not for the luck of the draw.
# FUZZ_SECONDS=N instead explores for N seconds per target from a random
# seed, keeping what it finds in <build>/corpus/ (use it before a change
# lands; add any crash file it writes to the target's seeds with the fix).
set -euo pipefail
build=${1:-build/fuzz}
runs=${FUZZ_RUNS:-30000}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWRENVIA_FUZZ=ON -DWRENVIA_TESTS=OFF
shopt -s nullglob
targets=()
for src in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
[ ${#targets[@]} -gt 0 ] && cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
mkdir -p "$build/crashes"
found=0
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
  found=1
  name=$(basename "$fuzzer")
  seeds="tests/fuzz/seeds/${name%_fuzz}"
  inputs=()
  [ -d "$seeds" ] && inputs+=("$seeds")
  common=(-rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/crashes/$name-")
  if [ -n "${FUZZ_SECONDS:-}" ]; then
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    echo "fuzz: $name for ${FUZZ_SECONDS}s"
    "$fuzzer" "${common[@]}" -max_total_time="$FUZZ_SECONDS" "$corpus" "${inputs[@]}"
  else
    # A scratch corpus: what earlier runs kept would change the inputs tried.
    corpus=$(mktemp -d)
    echo "fuzz: $name, $runs inputs from seed 1"
    setarch "$(uname -m)" -R "$fuzzer" "${common[@]}" -seed=1 -runs="$runs" "$corpus" "${inputs[@]}" ||
      { rm -rf "$corpus"; exit 1; }
    rm -rf "$corpus"
  fi
done
[ $found -eq 1 ] || echo "fuzz: no fuzz targets"
