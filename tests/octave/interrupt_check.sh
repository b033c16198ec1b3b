#!/usr/bin/env bash
# A call of each plug-in that would run for minutes, stopped in octave-cli:
# Ctrl-C (SIGINT to the process) must end the call within a second and
# return to the prompt, where the next statement runs and the next call
# gives the normal result; under `timeout 3` SIGTERM must end the process
# within a second.
#   tests/octave/interrupt_check.sh BUILD_DIR
set -euo pipefail
build_dir="$(cd "${1:?usage: interrupt_check.sh BUILD_DIR}" && pwd)"
work="$build_dir/interrupt"
rm -rf "$work" && mkdir -p "$work" && cd "$work"  # Octave dumps its workspace here on SIGTERM
octave_run=(octave-cli --no-gui --norc --quiet --no-history)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Waits up to a minute for TEXT in FILE.
wait_for() { for _ in $(seq 600); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done; return 1; }
within_a_second() { [ "$(echo "$1 < 1" | bc -l)" = 1 ]; }

# NAME, the statements that make the data, a small call that sets r, and
# the long call.
check() {
  local name="$1" setup="addpath('$build_dir'); rand('seed', 1); randn('seed', 1); $2" small="$3" long="$4"
  local out="$work/$name.out" took status=0 started

  # Ctrl-C: the statements come from a pipe, as if typed at the prompt.
  mkfifo "$work/$name.fifo"
  "${octave_run[@]}" <"$work/$name.fifo" >"$out" 2>&1 &
  local pid=$!
  exec 3>"$work/$name.fifo"
  echo "$setup $small reference = r; disp('long call starts'); fflush(stdout); $long; disp('long call ended');" >&3
  echo "printf('next statement at %.6f\n', time()); $small printf('same result: %d\n', isequal(r, reference));" >&3
  if wait_for "long call starts" "$out" && sleep 1 && started=$(date +%s.%N) && kill -INT "$pid" &&
     wait_for "same result" "$out"; then
    took=$(echo "$(sed -n 's/^next statement at //p' "$out") - $started" | bc -l)
    echo "$name: SIGINT to the next statement: $took s"
    within_a_second "$took" || fail "$name: the call took $took s to end after SIGINT"
    grep -q "same result: 1" "$out" || fail "$name: the call after the interrupt gave another result"
    grep -q "long call ended" "$out" && fail "$name: the long call was not interrupted"
  else
    fail "$name: no statement ran after SIGINT"
  fi
  echo "exit(0)" >&3 || true
  exec 3>&-
  wait "$pid" || fail "$name: octave-cli ended with status $? after SIGINT"
  sed 's/^/  | /' "$out"

  # SIGTERM from timeout, three seconds after the start.
  started=$(date +%s.%N)
  timeout 3 "${octave_run[@]}" --eval "$setup disp('long call starts'); fflush(stdout); $long; disp('long call ended');" \
    >"$out" 2>&1 || status=$?
  took=$(echo "$(date +%s.%N) - $started - 3" | bc -l)
  echo "$name: SIGTERM to the end of the process: $took s (status $status)"
  grep -q "long call starts" "$out" || fail "$name: the long call had not started by SIGTERM"
  grep -q "long call ended" "$out" && fail "$name: the long call was not interrupted by SIGTERM"
  [ "$status" = 124 ] || fail "$name: timeout ended with status $status"
  within_a_second "$took" || fail "$name: the process took $took s to end after SIGTERM"
}

# Training on 20,000 patterns at vigilance 0.99 for up to 1,000 passes.
check learn "X = rand(20000, 10); y = 1 + (rand(20000, 1) > 0.5);" \
  "[a, b, c] = tarn_learn(X(1:50, :), y(1:50), 0.5, 1, 10, 1, 0, 0); r = {a, b, c};" \
  "[a, b, c] = tarn_learn(X, y, 0.99, 1, 1000, 0, 0, 0)"

# Classifying 100,000 patterns by rule 1 against 100,000 nodes.
check score "T = [randn(100000, 10), ones(100000, 10), ones(100000, 1) / 100000]; L = 1 + mod((1:100000)', 3); P = randn(100000, 10);" \
  "r = tarn_score(T(1:50, :), L(1:50), 0, P(1:20, :), -1, 1, 0);" \
  "s = tarn_score(T, L, 0, P, -1, 1, 0)"

# Training on from a model of 50 rows: the same training as tarn_learn's.
check resume "X = rand(20000, 10); y = 1 + (rand(20000, 1) > 0.5); [T0, L0, n0] = tarn_learn(X(1:50, :), y(1:50), 0.5, 1, 1, 0, 0, 0);" \
  "[a, b] = tarn_resume(T0, L0, 50, X(51:100, :), y(51:100), 0.5, 1, 10, 1, 0, 0); r = {a, b};" \
  "[a, b] = tarn_resume(T0, L0, 50, X, y, 0.99, 1, 1000, 0, 0, 0)"

# The evidence of 100,000 nodes for 100,000 patterns.
check evidence "T = [randn(100000, 10), ones(100000, 10), ones(100000, 1) / 100000]; L = 1 + mod((1:100000)', 3); P = randn(100000, 10);" \
  "r = tarn_evidence(T(1:50, :), L(1:50), 0, P(1:20, :));" \
  "s = tarn_evidence(T, L, 0, P)"

[ "$failures" = 0 ] || { echo "interrupt check: $failures failure(s)" >&2; exit 1; }
echo "interrupt check: every command stops within a second of SIGINT and of SIGTERM"
