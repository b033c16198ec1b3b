#!/usr/bin/env bash
# scripts/demo.sh as a user runs it: it builds the plug-ins with build_tarn
# and prints the demo, with no compiler note or warning and no "error:"
# line. HOME is an empty folder, as on a fresh machine: an octave-cli run
# without --no-history would end with Octave's line about its history.
#   tests/install/demo_script_test.sh ROOT WORK_DIR
set -euo pipefail
root="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work/home"
status=0
printed="$(HOME="$work/home" TARN_DEMO_BUILD_DIR="$work/plugins" "$root/scripts/demo.sh" wine 2>&1)" ||
  status=$?
echo "$printed"
[ "$status" = 0 ] || { echo "demo_script_test: scripts/demo.sh ended with status $status"; exit 1; }
if grep -nE '(^|[^a-z_])(note|warning|error):' <<<"$printed"; then
  echo "demo_script_test: scripts/demo.sh printed the lines above"
  exit 1
fi
[ "$(grep -c '^accuracy: 1.0000 (59 of 59 test rows)$' <<<"$printed")" = 2 ] ||
  { echo "demo_script_test: the demo's accuracy lines are missing"; exit 1; }
[ -f "$work/plugins/tarn_learn.mex" ] && [ -f "$work/plugins/tarn_score.mex" ]
