#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a package would ship: the programs,
# the folder-backed handheld library where the programs find it, the desktop entry and icons.
# Usage: install-test.sh BUILD_DIR VERSION [BINDIR LIBDIR DATADIR]
set -euo pipefail
build=$1 version=$2 bindir=${3:-bin} libdir=${4:-lib} datadir=${5:-share}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/orvendal-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in orvendal orvendal-cli; do
    [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program missing or not executable"
done
for file in "$libdir/liborvendal-device-folder.so" \
    "$datadir/applications/orvendal.desktop" \
    "$datadir/icons/hicolor/scalable/apps/orvendal.svg" \
    "$datadir/icons/hicolor/48x48/apps/orvendal.png"; do
    [ -s "$prefix/$file" ] || fail "$file missing or empty"
done

desktop=$prefix/$datadir/applications/orvendal.desktop
if [ -f "$desktop" ]; then
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects orvendal.desktop"
    fi
    # The menu entry must start an installed program and name an installed icon.
    exec_line=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$prefix/$bindir/$exec_line" ] || fail "Exec=$exec_line is not an installed program"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -f "$prefix/$datadir/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "Icon=$icon has no installed scalable icon"
fi

# Version and help need no display, so no display is offered.
check_output() { # exact|start, expected, program, args...
    local how=$1 expected=$2 got
    shift 2
    got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1) ||
        fail "$* exited with $?"
    if [ "$how" = exact ]; then
        [ "$got" = "$expected" ] || fail "$*: expected '$expected', got '$got'"
    else
        [[ "$got" == "$expected"* ]] || fail "$*: expected '$expected...', got '$got'"
    fi
}
check_output exact "orvendal-cli $version" "$prefix/$bindir/orvendal-cli" --version
check_output exact "orvendal $version" "$prefix/$bindir/orvendal" --version
check_output start "Aufruf: orvendal " "$prefix/$bindir/orvendal" --help

# The installed console program runs the demo on the installed handheld library, once through
# its default lookup and once by bare library name, which dlopen finds through the RPATH.
run_demo() { # label, env arguments...
    local label=$1
    shift
    if ! (cd "$prefix" && env "$@" "$prefix/$bindir/orvendal-cli" demo "$prefix/demo-$label" \
        >"$prefix/demo-$label.log" 2>&1); then
        cat "$prefix/demo-$label.log" >&2
        fail "installed orvendal-cli demo failed ($label)"
    fi
}
run_demo default -u ORVENDAL_RAPI_LIBRARY -u ORVENDAL_DEVICE_ROOT
run_demo by-name -u ORVENDAL_DEVICE_ROOT ORVENDAL_RAPI_LIBRARY=liborvendal-device-folder.so
# An installed program reads its settings from PREFIX/etc/orvendal/ (/etc/orvendal/ for /usr).
mkdir -p "$prefix/etc/orvendal"
printf '1=PPC-55\n2=Werkstatt Süd\n7=55\n' >"$prefix/werkstatt.txt"
"$prefix/$bindir/orvendal-cli" settings encrypt "$prefix/werkstatt.txt" \
    "$prefix/etc/orvendal/werkstatt.ini"
"$prefix/$bindir/orvendal-cli" devices 2>&1 | grep -q '^55 .*Werkstatt Süd .*werkstatt.ini$' ||
    fail "the installed orvendal-cli does not read its settings from etc/orvendal/"
if command -v readelf >/dev/null; then
    for program in orvendal orvendal-cli; do
        readelf -d "$prefix/$bindir/$program" | grep -q "R.*PATH.*\[\\\$ORIGIN/[^]]*$libdir\]" ||
            fail "$program has no RPATH to \$ORIGIN/.../$libdir"
    done
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install into $prefix: all checks passed"
