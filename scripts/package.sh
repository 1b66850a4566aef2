#!/usr/bin/env bash
# Builds the Debian package from the working tree (committed or not) in build-deb/ and prints
# the path of the .deb. The test suite is not run again here: scripts/test.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build-deb
version=$(dpkg-parsechangelog -S Version)
src=$out/qubra232-$version

rm -rf "$out"
mkdir -p "$src"
# Only the files the repository knows, so that build folders stay out of the package build.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do if [ -e "$file" ]; then printf '%s\0' "$file"; fi; done |
  xargs -0 cp --parents -t "$src" --
(
  cd "$src"
  DEB_BUILD_OPTIONS="nocheck parallel=2${DEB_BUILD_OPTIONS:+ $DEB_BUILD_OPTIONS}" \
    dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log" >&2; exit 1; }
)
ls "$out"/qubra232_"$version"_*.deb
