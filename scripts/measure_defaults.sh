#!/usr/bin/env bash
# Builds the plug-ins and prints the cross-validated measurements behind
# tarn_fit's defaults, the voting gain and the 1-nearest-neighbour
# baseline (scripts/measure_defaults.m), as Markdown tables.
#   scripts/measure_defaults.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${TARN_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BUILD_TESTS=OFF -DTARN_BUILD_BENCHMARK=OFF >/dev/null
cmake --build "$build_dir" -j2 >/dev/null

build_path="$(cd "$build_dir" && pwd)"
octave-cli --no-gui --norc --quiet --no-history \
  --eval "addpath('$(pwd)/toolbox'); addpath('$build_path'); addpath('$(pwd)/scripts'); measure_defaults ();"
