#!/usr/bin/env bash
# Installs the Release build into a scratch prefix and checks what a
# technician gets: the programs and their version, the manual pages, the
# desktop entry and icon, the udev rules, and the sample simulator files found
# through the firmware search order. Then builds the Debian package and lists
# its contents.
#
#   scripts/check-install.sh [build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
expect() {
    if [[ ! -e "$prefix/$1" ]]; then
        echo "missing after install: $1" >&2
        fail=1
    fi
}
for f in bin/zjig bin/zentravox-jig share/man/man1/zjig.1 share/man/man1/zentravox-jig.1 \
         share/applications/zentravox-jig.desktop \
         share/icons/hicolor/scalable/apps/zentravox-jig.svg \
         lib/udev/rules.d/60-zentravox-jig.rules \
         share/zentravox-jig/firmware \
         share/zentravox-jig/sim-firmware/JFW_COMMON.hex \
         share/zentravox-jig/sim-firmware/JFW_JIG3.vss \
         "share/zentravox-jig/sim-data/MB connection ENE.txt"; do
    expect "$f"
done
[[ $fail -eq 0 ]] || exit 1

check() {  # what, expected text, command...
    local what="$1" want="$2"
    shift 2
    local got
    got=$("$@" 2>&1) || true
    if [[ "$got" != *"$want"* ]]; then
        echo "$what: expected \"$want\", got:" >&2
        echo "$got" >&2
        exit 1
    fi
    echo "ok: $what"
}
cd "$work"
check "zjig --version" "zjig $version" "$prefix/bin/zjig" --version
check "zentravox-jig --version" "zentravox-jig $version" "$prefix/bin/zentravox-jig" --version
check "manual page" "--firmware-dir" man -l "$prefix/share/man/man1/zjig.1"
check "installed zjig test-connect" "PROG version FW -> M328_EPM240_v16" \
    "$prefix/bin/zjig" --port sim test-connect
# No firmware beside the program and none in the user's data folder: the
# simulated second-generation JIG gets the sample firmware from share/.
check "sample firmware through the search order" "Exit from BOOT and RUN" \
    env XDG_DATA_HOME="$work/xdg" "$prefix/bin/zjig" --port sim:jig2 start "MEC jtag"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/zentravox-jig.desktop"
    echo "ok: desktop entry"
fi
cd - >/dev/null

(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/zentravox-jig_${version}_amd64.deb"
[[ -f "$deb" ]] || { echo "no package $deb" >&2; exit 1; }
echo "== $deb"
dpkg-deb -I "$deb" | grep -E '^ (Package|Version|Architecture|Depends):'
dpkg-deb -c "$deb"
