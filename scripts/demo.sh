#!/usr/bin/env bash
# Installs what the program needs, builds it and runs the main job, a data exchange, in the
# bundled demo sandbox (build/demo), then prints what moved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "${SKIP_INSTALL:-}" = 1 ] || scripts/install-deps.sh
scripts/build.sh build -DORVENDAL_TESTS=OFF -DORVENDAL_BENCH=OFF
build/app/orvendal-cli demo build/demo
