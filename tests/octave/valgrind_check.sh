#!/usr/bin/env bash
# Runs the plug-ins inside octave-cli under valgrind's memcheck through
# valgrind_battery.m, then a probe plug-in with known faults, and fails on
# any invalid read or write, use of an uninitialised value or block
# definitely lost whose stack passes through a tarn plug-in (tarn_*.mex).
# Octave's own reports are counted and ignored.
#   tests/octave/valgrind_check.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build_dir="$(cd "${1:?usage: valgrind_check.sh BUILD_DIR}" && pwd)"
for plugin in tarn_learn tarn_score tarn_resume tarn_evidence; do
  [ -f "$build_dir/$plugin.mex" ] || { echo "valgrind: $build_dir/$plugin.mex is missing" >&2; exit 1; }
done
command -v valgrind >/dev/null || { echo "valgrind: not installed (TARN_WITH_CHECKS=1 scripts/install_dependencies.sh)" >&2; exit 1; }

work="$build_dir/valgrind"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && CFLAGS="-O0 -g" mkoctfile --mex -o valgrind_probe.mex "$here/valgrind_probe.c" >/dev/null)

octave_run=(octave-cli --no-gui --norc --quiet --no-history)
status=0
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  --track-origins=yes --keep-debuginfo=yes --error-limit=no --num-callers=50 \
  --xml=yes --xml-file="$work/memcheck.xml" \
  "${octave_run[@]}" --eval "addpath('$build_dir'); addpath('$work'); addpath('$here'); valgrind_battery(); valgrind_probe();" \
  >"$work/battery.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 30 "$work/battery.log" >&2
  echo "valgrind: octave-cli ended with status $status" >&2
  exit 1
fi
grep "valgrind battery: " "$work/battery.log" || true
"${octave_run[@]}" --eval "addpath('$here'); exit(valgrind_report('$work/memcheck.xml', '$work/battery.log'))"
