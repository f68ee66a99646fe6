#!/usr/bin/env bash
# Installs a build into a scratch prefix and lets systemd check the unattended exchange's
# service and timer. Skips (exit 77) only where systemd cannot be had.
# Usage: units-test.sh BUILD_DIR [BINDIR]
set -euo pipefail
build=$1 bindir=${2:-bin}

if ! command -v systemd-analyze >/dev/null && [ "$(id -u)" = 0 ]; then
    apt-get install -y -qq systemd >/dev/null 2>&1 || true
fi
if ! command -v systemd-analyze >/dev/null; then
    echo "SKIP: systemd is absent from this machine, so the units were not verified"
    exit 77
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/orvendal-units.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
units=$prefix/lib/systemd/system
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

grep -qx "ExecStart=$prefix/$bindir/orvendal-cli --no exchange --all --json" \
    "$units/orvendal-exchange.service" || fail "the service does not run the installed orvendal-cli"
grep -qx "WantedBy=timers.target" "$units/orvendal-exchange.timer" || fail "the timer has no target"
[ ! -e "$units/timers.target.wants" ] || fail "the timer is installed enabled"
systemd-analyze verify "$units/orvendal-exchange.service" "$units/orvendal-exchange.timer" ||
    fail "systemd-analyze verify rejects the units"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
