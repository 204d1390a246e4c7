#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says; changes nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run --Werror
