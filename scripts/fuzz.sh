#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan and UBSan on) in build-fuzz/ and runs each for
# SECONDS, starting from the seed corpora in fuzz/corpus/. Fails on any crash, sanitizer report or
# broken property; the input that caused it is left in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS]    default 30
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNUBREL_FUZZ=ON -DNUBREL_TESTS=OFF -DNUBREL_BENCH=OFF -DNUBREL_GUI=OFF -DNUBREL_WERROR=ON \
  >/dev/null
cmake --build build-fuzz -j 2

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for target in line_decoder incremental_reader; do
  # New inputs go to the first directory, so the seeds in the repository stay as they are.
  corpus="build-fuzz/corpus/$target"
  artifacts="build-fuzz/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  echo "== nubrel_fuzz_$target for ${seconds}s"
  "build-fuzz/bin/nubrel_fuzz_$target" -max_total_time="$seconds" -max_len=16384 \
    -dict=fuzz/session-log.dict -artifact_prefix="$artifacts" -print_final_stats=1 \
    "$corpus" "fuzz/corpus/$target"
done
