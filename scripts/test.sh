#!/usr/bin/env bash
# Installs what the tests need, builds twice (gcc with -Werror in build/; clang with
# AddressSanitizer, UndefinedBehaviorSanitizer and the fuzz targets in build-asan/), starts the
# loopback test servers and runs every test, then smoke-runs each fuzz target. A test that is
# skipped (its server did not come up) fails the run, as does a build without tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "${SKIP_INSTALL:-}" = 1 ] || scripts/install-deps.sh

scripts/build.sh build -DORVENDAL_TESTS=ON -DORVENDAL_BENCH=ON -DORVENDAL_WERROR=ON \
  -DORVENDAL_SANITIZE=OFF -DORVENDAL_FUZZ=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
CC=clang CXX=clang++ scripts/build.sh build-asan -DORVENDAL_TESTS=ON -DORVENDAL_BENCH=OFF \
  -DORVENDAL_WERROR=OFF -DORVENDAL_SANITIZE=ON -DORVENDAL_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug

run_suite() { # build folder [environment...]
  local dir=$1 log
  shift
  log=$(mktemp)
  env "$@" tests/servers/with-servers.sh \
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2 | tee "$log"
  if grep -q '(Skipped)' "$log"; then
    echo "$dir: tests were skipped; every test must run" >&2
    exit 1
  fi
  rm -f "$log"
}
run_suite build
run_suite build-asan ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

for fuzzer in build-asan/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  corpus=$(mktemp -d)
  echo "fuzz smoke: $(basename "$fuzzer")"
  "$fuzzer" -max_total_time=20 -timeout=10 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done

scripts/test-ratio.sh
echo "all tests passed"
