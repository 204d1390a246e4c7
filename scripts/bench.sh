#!/usr/bin/env bash
# Builds the benchmarks in Release, generates the session trees they need (kept for later runs):
# a month and a day of 100,000 small files; warms the page cache and prints the usage core's
# figures, each a ratio of times measured in this one run, with the repetitions interleaved.
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

# Prints the directory of a tree, generating it first when it is not complete (expected.tsv is
# written last). Arguments: name, then the generator's options.
tree() {
  local dir="$data/$1"
  shift
  if [ ! -f "$dir/expected.tsv" ]; then
    rm -rf "$dir"
    build-release/bin/nubrel-gen-sessions --root "$dir" --seed "$seed" "$@" >&2
  fi
  echo "$dir"
}
big=$(tree "$month-$size-${sessions_per_day}-per-day-seed-$seed-with-forks" --month "$month" \
  --sessions-per-day "$sessions_per_day" --target-bytes "$size")
many=$(tree "many-files-seed-$seed" --month 2026-10 --first-day 7 --days 1 \
  --sessions-per-day 100000 --target-bytes 400M)
mkdir -p "$data/scratch"

# Both sides of every ratio read from memory: each file once before anything is timed.
find "$big/sessions" "$many/sessions" -name '*.jsonl' -exec cat {} + >/dev/null

build-release/bin/nubrel_bench --big-tree "$big" --month "$month" --many-tree "$many" \
  --many-month 2026-10 --scratch "$data/scratch" \
  --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true
