#!/usr/bin/env bash
# Builds the plug-ins and prints what the shipped data sets give at a few
# training settings (toolbox/tarn_parameter_table.m), as the Markdown table
# of the user guide.
#   scripts/parameter_table.sh           print the table
#   scripts/parameter_table.sh --write   put it into doc/guide.md, between
#                                        the parameter table markers
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-}"
case "$mode" in
  ""|--write) ;;
  *) echo "usage: scripts/parameter_table.sh [--write]" >&2; exit 2 ;;
esac

scripts/install_dependencies.sh
build_dir="${TARN_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tarn_learn_plugin tarn_score_plugin >/dev/null

build_path="$(cd "$build_dir" && pwd)"
table="$(mktemp)"
trap 'rm -f "$table" "$table.guide"' EXIT
octave-cli --no-gui --norc --quiet --no-history \
  --eval "addpath('$(pwd)/toolbox'); addpath('$build_path'); printf ('%s', tarn_parameter_table ());" \
  > "$table"

if [ "$mode" = "--write" ]; then
  guide=doc/guide.md
  begin='<!-- parameter table: begin '
  end='<!-- parameter table: end -->'
  if [ "$(grep -c "^$begin" "$guide")" != 1 ] || [ "$(grep -c "^$end" "$guide")" != 1 ]; then
    echo "parameter_table: $guide needs one line starting '$begin' and one '$end'" >&2
    exit 1
  fi
  awk -v begin="$begin" -v end="$end" -v table="$table" '
    index($0, begin) == 1 { print; while ((getline line < table) > 0) print line; skip = 1; next }
    index($0, end) == 1 { skip = 0 }
    !skip { print }
  ' "$guide" > "$table.guide"
  cat "$table.guide" > "$guide"
  echo "parameter_table: wrote the table into $guide"
else
  cat "$table"
fi
