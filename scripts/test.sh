#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite. BUILD_DIR and extra CMake
# arguments are passed to the build. Lab tests need root and are skipped without it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure --timeout 600 -j2
