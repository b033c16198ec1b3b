#!/usr/bin/env bash
# Runs the demo in octave-cli: train on part of a shipped data set, classify
# the rest with both decision rules. Installs only what the demo needs
# (Octave, its development files, g++) and builds the plug-ins as a user
# does at the Octave prompt, with build_tarn, into build_prompt/ (or
# TARN_DEMO_BUILD_DIR).
#   scripts/demo.sh [iris|wine|breast_cancer]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_dependencies.sh --demo
root="$(pwd)"
out="${TARN_DEMO_BUILD_DIR:-$root/build_prompt}"
data_set="${1:-iris}"
octave-cli --no-gui --norc --quiet --no-history \
  --eval "addpath('$root'); addpath('$root/toolbox'); addpath(build_tarn('$out')); tarn_demo('$data_set');"
