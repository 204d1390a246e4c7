#!/usr/bin/env bash
# Prints the lines of the tests against the lines of the code they test: tests/ against src/,
# bench/, fuzz/ and scripts/, C++, CMake, shell and Python files only (data and samples do not
# count). Fails above 0.35, so that the suite stays lean as the code grows.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files "$@" | grep -E '\.(cpp|h|sh|py|cmake)$|CMakeLists\.txt$' | tr '\n' '\0' |
    xargs -0 cat | wc -l
}
tests=$(count tests)
code=$(count src bench fuzz scripts)
awk -v t="$tests" -v c="$code" -v max=0.35 'BEGIN {
  printf "tests %d lines, code %d lines: ratio %.2f (at most %.2f)\n", t, c, t / c, max
  exit t > max * c
}'
