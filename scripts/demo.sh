#!/usr/bin/env bash
# Builds the two plug-ins and runs the demo in octave-cli: train on part of
# a shipped data set, classify the rest with both decision rules.
#   scripts/demo.sh [iris|wine|breast_cancer]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_dependencies.sh
build_dir="${TARN_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tarn_learn_plugin tarn_score_plugin >/dev/null
data_set="${1:-iris}"
octave-cli --no-gui --norc --quiet --no-history \
  --eval "addpath('$(pwd)/$build_dir'); addpath('$(pwd)/toolbox'); tarn_demo('$data_set');"
