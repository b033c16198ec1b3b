#!/usr/bin/env bash
# Installs what is missing, builds the plug-ins and every test, and runs
# them all: unit tests on the stand-in host (plain and under ASan/UBSan),
# a short fuzzing run of each command, and the end-to-end tests in
# octave-cli (with both plug-ins under valgrind and a long session).
set -euo pipefail
cd "$(dirname "$0")/.."

TARN_WITH_CHECKS=1 scripts/install_dependencies.sh
build_dir="${TARN_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=ON
cmake --build "$build_dir" -j"$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
