#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures and builds into DIR with two jobs, through
# ccache when it is installed.
set -euo pipefail
dir=$1; shift
launcher=()
if command -v ccache >/dev/null; then
  # Paths below the checkout count relative, so another clone hits the same cache.
  export CCACHE_BASEDIR
  CCACHE_BASEDIR=$(cd "$(dirname "$0")/.." && pwd)
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "${launcher[@]}" "$@"
cmake --build "$dir" -j2
