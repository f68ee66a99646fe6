#!/usr/bin/env bash
# Installs what the program needs, builds it in build-demo/ (apart from the tests' build/) and
# runs the main job, a data exchange, in the bundled demo sandbox (build-demo/demo), then prints
# what moved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "${SKIP_INSTALL:-}" = 1 ] || scripts/install-deps.sh
scripts/build.sh build-demo -DORVENDAL_TESTS=OFF -DORVENDAL_BENCH=OFF -DORVENDAL_FUZZ=OFF \
  -DORVENDAL_SANITIZE=OFF -DORVENDAL_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
build-demo/app/orvendal-cli demo build-demo/demo
