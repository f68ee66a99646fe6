#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures and builds into DIR with two jobs.
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "$@"
cmake --build "$dir" -j2
