#!/usr/bin/env bash
# Prints the tests' size against the code's: non-blank, non-comment lines of each.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs cat | grep -cvE "$1"; }
code=$(git ls-files -- '*.cpp' '*.cc' '*.h' '*.hpp' | grep -vE '^(tests?|fuzz|bench)/' |
  count '^\s*(//.*)?$')
tests=$(git ls-files -- 'tests/*' | grep -E '\.(cpp|cc|h|hpp|py|sh)$' | count '^\s*(//.*|#.*)?$')
awk -v t="$tests" -v c="$code" \
  'BEGIN { printf "test lines: %d, code lines: %d, tests/code: %.1f %%\n", t, c, 100 * t / c }'
