#!/usr/bin/env bash
# Builds the libFuzzer targets of every parser of outside input (device answers, mapping,
# language file, setup file, the command line's value readers, the ARP helper's requests) in a
# build folder of its own, and runs each from its committed corpus (tests/fuzz/corpus/<name>/)
# with its dictionary (tests/fuzz/<name>.dict) where there is one, for FUZZ_SECONDS each (60 by
# default; about eight minutes in all). A crash, a sanitizer report, a leak or a time-out of
# one input ends it with a non-zero status; the input is kept as <build>/<name>-crash-... .
# FUZZ_TARGETS="setup mapping" runs only those.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${FUZZ_BUILD_DIR:-build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"
targets=(${FUZZ_TARGETS:-answers mapping language setup values plan arphelper})
cmake -G Ninja -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUBRA_FUZZ=ON -DQUBRA_GUI=OFF -DQUBRA_TESTS=OFF -DQUBRA_BENCH=OFF > /dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}"
# New inputs go to scratch folders; the committed corpus is only read.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for name in "${targets[@]}"; do
  program="$(find "$build" -name "${name}_fuzz" -type f -perm -u+x | head -n 1)"
  # Documents as large as the built-in ones; datagrams, values and requests far smaller.
  case "$name" in
    mapping | language | setup) max_len=20000 ;;
    arphelper) max_len=128 ;;
    *) max_len=1024 ;;
  esac
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len"
           -artifact_prefix="$build/$name-" -print_final_stats=1)
  [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
  mkdir -p "$scratch/$name"
  echo "fuzz: $name for ${seconds} s"
  "$program" "${options[@]}" "$scratch/$name" "tests/fuzz/corpus/$name" 2> "$scratch/$name.log" || {
    tail -n 60 "$scratch/$name.log"
    echo "fuzz: $name found a fault" >&2
    exit 1
  }
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$scratch/$name.log" | tail -n 2
done
