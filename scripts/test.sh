#!/usr/bin/env bash
# Installs what the tests need, builds twice (gcc with -Werror; clang with AddressSanitizer,
# UndefinedBehaviorSanitizer and the fuzz targets), starts the loopback test servers and runs
# every test, then smoke-runs each fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "${SKIP_INSTALL:-}" = 1 ] || scripts/install-deps.sh

scripts/build.sh build -DORVENDAL_WERROR=ON
CC=clang CXX=clang++ scripts/build.sh build-asan -DORVENDAL_SANITIZE=ON -DORVENDAL_FUZZ=ON \
  -DORVENDAL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug

tests/servers/with-servers.sh ctest --test-dir build --output-on-failure -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  tests/servers/with-servers.sh ctest --test-dir build-asan --output-on-failure -j2

for fuzzer in build-asan/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  corpus=$(mktemp -d)
  echo "fuzz smoke: $(basename "$fuzzer")"
  "$fuzzer" -max_total_time=20 -timeout=10 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done
echo "all tests passed"
