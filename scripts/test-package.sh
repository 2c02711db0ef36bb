#!/bin/sh
# Builds the Debian package of BUILD_DIR, unpacks it into a temporary root with dpkg-deb -x and
# runs the unpacked programs from there: both print the project's version, and velkor-device makes
# a device, lays out a card from its images and dry-runs the card on the device.
# Usage: scripts/test-package.sh BUILD_DIR VERSION
set -eu
build=$(cd "$1" && pwd)
version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

(cd "$build" && cpack -G DEB -B "$root/out" >/dev/null)
package=$(ls "$root"/out/velkor_"$version"_*.deb)
dpkg-deb -x "$package" "$root/unpacked"
bin=$root/unpacked/usr/bin

fail() { echo "test-package.sh: $*" >&2; exit 1; }
[ "$("$bin/velkor" --version)" = "velkor $version" ] || fail "velkor --version does not say $version"
[ "$("$bin/velkor-device" --version)" = "velkor-device $version" ] || fail "velkor-device --version does not say $version"
dpkg-deb -f "$package" Depends | grep -q libqt6widgets6 || fail "the package does not depend on the Qt libraries it links"
dpkg-deb -f "$package" Depends | grep -q fonts-droid-fallback || fail "the package does not depend on a font with the final message's glyphs"
[ -f "$root/unpacked/usr/share/doc/velkor/examples/target.json" ] || fail "the target file example is not in the package"

"$bin/velkor-device" init "$root/device" >/dev/null
images=$root/device/root/StorageCard/Images
"$bin/velkor-device" card "$root/card" --os "$images/NK.bin" --logo2 "$images/logo2.bmp" --device "$root/device" \
    | grep -q 'AutoUpdate\\NK.bin' || fail "the unpacked velkor-device card did not lay out the card"
[ -f "$root/card/AutoUpdate/logo2.bmp" ] || fail "the card has no second logo"
"$bin/velkor-device" dry-run "$root/card" --device "$root/device" 2>/dev/null | grep -q 'OS     Succeed' \
    || fail "the unpacked velkor-device dry-run did not update the copy of the device"
echo "test-package.sh: $(basename "$package") installs programs that run"
