#!/usr/bin/env bash
# Makes the Octave package tarn-<version>.tar.gz, which installs with
#   pkg install tarn-<version>.tar.gz; pkg load tarn
#   scripts/make_package.sh [output folder]     (default: build/)
# The version is the one in CMakeLists.txt; package/DESCRIPTION must agree.
# The C++ sources that plugin_sources.txt lists, and the headers beside
# them, go into the package's src/ under their own paths, so the includes
# ("model/...", "bridge/...") resolve against src/ as they do against the
# repository root. Prints the path of the tarball.
set -euo pipefail
cd "$(dirname "$0")/.."

out_dir="${1:-build}"
mkdir -p "$out_dir"
out_dir="$(cd "$out_dir" && pwd)"

version="$(sed -n 's/^project(tarn VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)"
described="$(sed -n 's/^Version: *//p' package/DESCRIPTION)"
if [ -z "$version" ] || [ "$version" != "$described" ]; then
  echo "make_package: CMakeLists.txt says version '$version', package/DESCRIPTION says '$described'" >&2
  exit 1
fi

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
name="tarn-$version"
pkg="$stage/$name"
mkdir -p "$pkg/src" "$pkg/inst/data" "$pkg/help" "$pkg/doc"

cp package/DESCRIPTION package/INDEX package/COPYING package/post_install.m "$pkg/"
cp package/src/Makefile plugin_sources.txt plugin_flags.txt "$pkg/src/"
# The same line rule as cmake/TarnSources.cmake: a name, then the sources.
for source in $(sed -n 's/^[a-z_][a-z_]* //p' plugin_sources.txt); do
  mkdir -p "$pkg/src/$(dirname "$source")"
  cp "$source" "$pkg/src/$source"
done
for folder in model bridge learn score; do
  for header in "$folder"/*.h; do
    [ -e "$header" ] || continue
    mkdir -p "$pkg/src/$folder"
    cp "$header" "$pkg/src/$header"
  done
done

# The help texts go beside the plug-ins at install time (post_install.m).
cp toolbox/help/tarn_learn.m toolbox/help/tarn_score.m toolbox/help/tarn_resume.m toolbox/help/tarn_evidence.m "$pkg/help/"
cp toolbox/tarn_demo.m toolbox/tarn_load_data.m toolbox/tarn_parameter_table.m "$pkg/inst/"
cp data/*.csv "$pkg/inst/data/"
cp doc/guide.md "$pkg/doc/"

# Same content, same tarball: fixed order, owners and times.
tarball="$out_dir/$name.tar.gz"
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="$(sed -n 's/^Date: *//p' package/DESCRIPTION) 00:00:00Z" \
    -cf - "$name" | gzip -n -9 > "$tarball.partial"
mv "$tarball.partial" "$tarball"
echo "$tarball"
