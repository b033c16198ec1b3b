#!/usr/bin/env bash
# Builds the plug-ins and prints the cross-validated measurements behind
# tarn_fit's defaults, the voting gain and the 1-nearest-neighbour
# baseline (scripts/measure_defaults.m), as Markdown tables.
#   scripts/measure_defaults.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Only the plug-ins are built, in the build folder as it is configured (or
# a new one), so a developer's test build keeps its tests.
build_dir="${TARN_BUILD_DIR:-build}"
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j2 --target tarn_learn_plugin tarn_score_plugin tarn_resume_plugin \
  tarn_evidence_plugin >/dev/null

build_path="$(cd "$build_dir" && pwd)"
octave-cli --no-gui --norc --quiet --no-history \
  --eval "addpath('$(pwd)/toolbox'); addpath('$build_path'); addpath('$(pwd)/scripts'); measure_defaults ();"
