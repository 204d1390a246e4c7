#!/usr/bin/env bash
# Builds the benchmarks in Release, generates the session trees they need (kept for later runs),
# warms the page cache and prints the usage core's figures, each a ratio of times measured in this
# one run, with the repetitions of the benchmarks interleaved.
#   scripts/bench.sh [SIZE]       SIZE of the month tree: 1G (default), or e.g. 200M for a quick run
#   NUBREL_BENCH_DATA=DIR         where the trees are kept (default /tmp/nubrel-bench)
#   NUBREL_BENCH_REPETITIONS=N    repetitions of each benchmark (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."

size="${1:-1G}"
data="${NUBREL_BENCH_DATA:-/tmp/nubrel-bench}"
repetitions="${NUBREL_BENCH_REPETITIONS:-5}"
month=2026-11
sessions_per_day=20
seed=1

scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNUBREL_TESTS=OFF \
  -DNUBREL_GUI=OFF -DNUBREL_BENCH=ON >/dev/null
cmake --build build-release -j 2 --target nubrel_bench nubrel-gen-sessions

# Prints the directory of the tree of the given size, generating it first when it is not complete
# (expected.tsv is written last).
tree() {
  local dir="$data/$month-$1-${sessions_per_day}-per-day-seed-$seed"
  if [ ! -f "$dir/expected.tsv" ]; then
    rm -rf "$dir"
    build-release/bin/nubrel-gen-sessions --root "$dir" --month "$month" \
      --sessions-per-day "$sessions_per_day" --target-bytes "$1" --seed "$seed" >&2
  fi
  echo "$dir"
}
big=$(tree "$size")
# The same number of files as the big tree, a hundredth of the bytes or so.
small=$(tree 10M)

# Both sides of every ratio read from memory: each file once before anything is timed.
find "$big/sessions" "$small/sessions" -name '*.jsonl' -exec cat {} + >/dev/null

build-release/bin/nubrel_bench --big-tree "$big" --small-tree "$small" --month "$month" \
  --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true
