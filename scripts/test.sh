#!/usr/bin/env bash
# Installs what is needed, builds Nubrel with warnings as errors and runs every test.
#   scripts/test.sh               the normal build, in build/
#   scripts/test.sh --sanitize    the same tests under AddressSanitizer and UBSan, in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  extra=(-DNUBREL_SANITIZE=ON -DNUBREL_BENCH=OFF)
fi

scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUBREL_WERROR=ON "${extra[@]}"
cmake --build "$build_dir" -j "$(nproc)"
# ASan's leak checker reports GLib's and GTK's one-time allocations; leaks are looked for in the
# core tests, which run without them.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 300
