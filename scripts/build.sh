#!/usr/bin/env bash
# Configures and builds the project. BUILD_DIR (default build) and extra CMake arguments
# (for example -DQUBRA_SANITIZE=ON) may be given.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja "$@" >/dev/null
cmake --build "$build_dir"
