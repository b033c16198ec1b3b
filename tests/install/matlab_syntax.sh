#!/usr/bin/env bash
# The MATLAB syntax check: MISS_HIT's mh_style and mh_lint, in MATLAB mode
# (miss_hit.cfg at the root), over every .m file of the repository (less
# tests/, which miss_hit.cfg leaves out) and every example of README.md,
# doc/guide.md and the help texts, written out as scripts by
# example_blocks.m. MISS_HIT comes from PyPI; where it is not installed
# (scripts/install_dependencies.sh installs it where PyPI is reachable)
# the check says so and exits 77, which CTest counts as skipped.
#   tests/install/matlab_syntax.sh ROOT WORK_DIR OCTAVE_CLI
set -euo pipefail
root="$(cd "$1" && pwd)"
work="$2"
octave="$3"

export PATH="$root/.tools/miss_hit/bin:$PATH"
if ! command -v mh_style >/dev/null 2>&1 || ! command -v mh_lint >/dev/null 2>&1; then
  echo "MatlabSyntax skipped: MISS_HIT (mh_style, mh_lint) is not installed here." \
       "It comes from PyPI: scripts/install_dependencies.sh installs it where PyPI is" \
       "reachable (TARN_WITH_CHECKS=1, as scripts/test.sh runs it), or: pip install miss_hit"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/examples"
"$octave" --no-gui --norc --quiet --no-history \
  --eval "addpath('$root/tests/install'); example_blocks('$root', '$work/examples');"
# Examples are typed at the prompt: a statement without a semicolon shows
# its value, and short statements share a line.
{ grep -v '^exclude_dir' "$root/miss_hit.cfg"; echo 'suppress_rule: "end_of_statements"'; } \
  > "$work/examples/miss_hit.cfg"
count="$(find "$work/examples" -name '*.m' | wc -l)"
[ "$count" -ge 10 ] || { echo "MatlabSyntax: only $count examples were found" >&2; exit 1; }

# The top-level entries, less build folders, hidden ones and tests/ (which
# miss_hit.cfg excludes too, but MISS_HIT checks a folder that it is given).
mapfile -t entries < <(cd "$root" && find . -mindepth 1 -maxdepth 1 \
  \( -type d -not -name 'build*' -not -name '.*' -not -name tests \) -o -name '*.m' | sort)
status=0
for tool in mh_style mh_lint; do
  (cd "$root" && "$tool" --brief "${entries[@]}") || status=1
  (cd "$work/examples" && "$tool" --brief .) || status=1
done
echo "MatlabSyntax: $("$root/.tools/miss_hit/bin/mh_style" --version 2>/dev/null || mh_style --version)," \
     "$count examples and the repository's .m files checked"
exit "$status"
