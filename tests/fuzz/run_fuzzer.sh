#!/usr/bin/env bash
# A short fixed-seed fuzzing run of one command, as the test suite runs it:
# the kept corpus and the regression inputs first, then new inputs for
# SECONDS seconds. New interesting inputs go to a scratch folder in the
# build tree, never into the repository.
#   tests/fuzz/run_fuzzer.sh FUZZER COMMAND SECONDS SCRATCH_DIR
set -euo pipefail
fuzzer="$1"
command="$2"
seconds="$3"
scratch="$4"
here="$(cd "$(dirname "$0")" && pwd)"

rm -rf "$scratch"
mkdir -p "$scratch"
inputs=("$here/corpus/$command")
[ -d "$here/regressions/$command" ] && inputs+=("$here/regressions/$command")
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# -timeout is generous: a slow machine must not turn a slow input into a
# failure; only a hang would reach it.
exec "$fuzzer" -seed=1 -max_total_time="$seconds" -timeout=120 -max_len=1024 -print_final_stats=1 \
  -artifact_prefix="$scratch/" "$scratch" "${inputs[@]}"
