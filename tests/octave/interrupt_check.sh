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
rm -rf "$work"
mkdir -p "$work"
cd "$work"  # Octave leaves its workspace dump here on SIGTERM
octave_run=(octave-cli --no-gui --norc --quiet --no-history)
limit=1.0
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Waits up to a minute for TEXT in FILE.
wait_for() {
  for _ in $(seq 600); do
    grep -q "$1" "$2" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# NAME, the statements that make the data, a small call that sets r, and
# the long call.
check() {
  local name="$1" setup="addpath('$build_dir'); rand('seed', 1); randn('seed', 1); $2" small="$3" long="$4"
  local out="$work/$name.out" fifo="$work/$name.fifo"

  # Ctrl-C: statements come from a pipe, as typed at the prompt.
  mkfifo "$fifo"
  "${octave_run[@]}" <"$fifo" >"$out" 2>&1 &
  local pid=$!
  exec 3>"$fifo"
  echo "$setup $small reference = r; disp('long call starts'); fflush(stdout); $long; disp('long call ended');" >&3
  echo "printf('next statement at %.6f\n', time()); $small printf('same result: %d\n', isequal(r, reference));" >&3
  echo "fflush(stdout);" >&3
  if wait_for "long call starts" "$out"; then
    sleep 1
    local sent
    sent=$(date +%s.%N)
    kill -INT "$pid" || fail "$name: octave-cli ended before SIGINT"
    if wait_for "same result" "$out"; then
      local next
      next=$(sed -n 's/^next statement at //p' "$out")
      local took
      took=$(echo "$next - $sent" | bc -l)
      echo "$name: SIGINT to the next statement: ${took} s"
      [ "$(echo "$took < $limit" | bc -l)" = 1 ] || fail "$name: the call took ${took} s to end after SIGINT"
      grep -q "same result: 1" "$out" || fail "$name: the call after the interrupt gave another result"
      grep -q "long call ended" "$out" && fail "$name: the long call was not interrupted"
    else
      fail "$name: no statement ran after SIGINT"
    fi
  else
    fail "$name: the long call never started"
  fi
  echo "exit(0)" >&3 || true
  exec 3>&-
  wait "$pid" || fail "$name: octave-cli ended with status $? after SIGINT"
  sed 's/^/  | /' "$out"

  # SIGTERM from timeout, three seconds after the start.
  local started ended status=0
  started=$(date +%s.%N)
  timeout 3 "${octave_run[@]}" --eval "$setup disp('long call starts'); fflush(stdout); $long; disp('long call ended');" \
    >"$out" 2>&1 || status=$?
  ended=$(date +%s.%N)
  local took
  took=$(echo "$ended - $started - 3" | bc -l)
  echo "$name: SIGTERM to the end of the process: ${took} s (status $status)"
  grep -q "long call starts" "$out" || fail "$name: the long call never started before SIGTERM"
  grep -q "long call ended" "$out" && fail "$name: the long call was not interrupted by SIGTERM"
  [ "$status" = 124 ] || fail "$name: timeout ended with status $status"
  [ "$(echo "$took < $limit" | bc -l)" = 1 ] || fail "$name: the process took ${took} s to end after SIGTERM"
}

# Training on 20,000 patterns at vigilance 0.99 for up to 1,000 passes.
check learn "X = rand(20000, 10); y = 1 + (rand(20000, 1) > 0.5);" \
  "[a, b, c] = tarn_learn(X(1:50, :), y(1:50), 0.5, 1, 10, 1, 0, 0); r = {a, b, c};" \
  "[a, b, c] = tarn_learn(X, y, 0.99, 1, 1000, 0, 0, 0)"

# Classifying 100,000 patterns by rule 1 against 100,000 nodes.
check score "T = [randn(100000, 10), ones(100000, 10), ones(100000, 1) / 100000]; L = 1 + mod((1:100000)', 3); P = randn(100000, 10);" \
  "r = tarn_score(T(1:50, :), L(1:50), 0, P(1:20, :), -1, 1, 0);" \
  "s = tarn_score(T, L, 0, P, -1, 1, 0)"

[ "$failures" = 0 ] || { echo "interrupt check: $failures failure(s)" >&2; exit 1; }
echo "interrupt check: both commands stop within ${limit} s of SIGINT and of SIGTERM"
