#!/usr/bin/env bash
# Builds the fuzz target of the ARP helper's request parsing with clang's libFuzzer in a build
# folder of its own and runs it briefly (FUZZ_SECONDS, 60 by default) from the committed corpus.
# A crash, a sanitizer report or a leak ends it with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${FUZZ_BUILD_DIR:-build-fuzz}"
cmake -G Ninja -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUBRA_FUZZ=ON -DQUBRA_GUI=OFF -DQUBRA_TESTS=OFF > /dev/null
cmake --build "$build" --target arphelper_fuzz -j2
# New inputs go to a scratch folder; the committed corpus is only read.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$build/arphelper/arphelper_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=128 \
  -artifact_prefix="$build/" "$scratch" tests/fuzz/corpus
