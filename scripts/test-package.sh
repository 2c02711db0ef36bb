#!/bin/sh
# Builds the Debian package of BUILD_DIR and tests it.
#   unpacked   unpacks it with dpkg-deb -x into a temporary root and runs the programs from there;
#              checks the manual pages, the changelog and the installed README.
#   installed  (root only) installs it with apt-get install ./velkor_*.deb, runs the programs from
#              /usr/bin, finds the manual page with man -w, runs lintian, and removes it again.
# Both run velkor-device init, card and dry-run and both programs' --version. Exit 77 means skipped.
# Usage: scripts/test-package.sh BUILD_DIR VERSION unpacked|installed
set -eu
build=$(cd "$1" && pwd)
version=$2
mode=$3
sources=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "test-package.sh: $*" >&2; exit 1; }
skip() { echo "test-package.sh: skipped: $*"; exit 77; }

if [ "$mode" = installed ]; then
    [ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
    if dpkg-query -W -f='${Status}' velkor 2>/dev/null | grep -q "install ok installed"; then
        skip "a velkor package is installed on this machine already, and the test removes what it installs"
    fi
    command -v lintian >/dev/null || fail "lintian is missing: scripts/install-deps.sh installs it"
fi

root=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -o DPkg::Lock::Timeout=300 velkor >/dev/null 2>&1 || true
    fi
    rm -rf "$root"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$root/out" >/dev/null)
package=$(ls "$root"/out/velkor_"$version"_*.deb)

# The programs in $1 make a device, lay out a card from its images and dry-run the card on it.
run_programs() {
    bin=$1
    [ "$("$bin/velkor" --version)" = "velkor $version" ] || fail "velkor --version does not say $version"
    [ "$("$bin/velkor-device" --version)" = "velkor-device $version" ] \
        || fail "velkor-device --version does not say $version"
    "$bin/velkor-device" init "$root/device" >/dev/null
    images=$root/device/root/StorageCard/Images
    "$bin/velkor-device" card "$root/card" --os "$images/NK.bin" --logo2 "$images/logo2.bmp" \
        --device "$root/device" | grep -q 'AutoUpdate\\NK.bin' || fail "velkor-device card did not lay out the card"
    [ -f "$root/card/AutoUpdate/logo2.bmp" ] || fail "the card has no second logo"
    "$bin/velkor-device" dry-run "$root/card" --device "$root/device" 2>/dev/null | grep -q 'OS     Succeed' \
        || fail "velkor-device dry-run did not update the copy of the device"
}

# Every command and option that the program's --help names is in its manual page.
check_manual_page() {
    page=$(gzip -dc "$1" | sed 's/\\-/-/g')
    for word in $("$2" --help | grep -Eo -- '(^[a-z][a-z-]*$|--[a-z0-9-]+)' | sort -u); do
        echo "$page" | grep -qF -- "$word" || fail "the manual page $(basename "$1") does not name $word"
    done
}

if [ "$mode" = unpacked ]; then
    dpkg-deb -x "$package" "$root/unpacked"
    usr=$root/unpacked/usr
    dpkg-deb -f "$package" Depends | grep -q libqt6widgets6 || fail "the package does not depend on the Qt libraries"
    dpkg-deb -f "$package" Depends | grep -q fonts-droid-fallback \
        || fail "the package does not depend on a font with the final message's glyphs"
    [ -f "$usr/share/doc/velkor/examples/target.json" ] || fail "the target file example is not in the package"
    [ -f "$usr/share/doc/velkor/copyright" ] || fail "the package has no copyright file"
    gzip -dc "$usr/share/doc/velkor/changelog.gz" | head -n 1 | grep -q "^velkor ($version) " \
        || fail "the changelog's latest entry is not for $version: add one to packaging/changelog.in"
    ! grep -n 'build/' "$usr/share/doc/velkor/README.md" || fail "the installed README points into a build tree"
    for program in velkor velkor-device; do
        check_manual_page "$usr/share/man/man1/$program.1.gz" "$usr/bin/$program"
    done
    run_programs "$usr/bin"
else
    lintian --fail-on error --tag-display-limit 0 "$package" || fail "lintian finds errors in the package"
    cp "$package" "$root/"
    installed=yes
    (cd "$root" && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        -o DPkg::Lock::Timeout=300 "./$(basename "$package")" >/dev/null) || fail "apt-get cannot install the package"
    [ "$(command -v velkor)" = /usr/bin/velkor ] || fail "velkor is not installed in /usr/bin"
    man -w velkor >/dev/null || fail "man -w velkor finds no manual page"
    man -w velkor-device >/dev/null || fail "man -w velkor-device finds no manual page"
    run_programs /usr/bin
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -o DPkg::Lock::Timeout=300 velkor >/dev/null \
        || fail "apt-get cannot remove the package"
    installed=""
    [ ! -e /usr/bin/velkor ] || fail "removing the package left /usr/bin/velkor"
fi
echo "test-package.sh: $(basename "$package") $mode: its programs run"
