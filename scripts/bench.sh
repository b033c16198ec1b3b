#!/usr/bin/env bash
# Builds and runs the benchmark: the node-by-node reference, the block
# kernels and the division floor, on generated mixtures and the shipped data.
#   scripts/bench.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_dependencies.sh
build_dir="${TARN_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tarn_bench >/dev/null
"$build_dir/bench/tarn_bench" "$@" data
