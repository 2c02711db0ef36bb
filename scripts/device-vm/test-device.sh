#!/bin/sh
# Builds (or takes from CACHE) the virtual device's image with the newest package of BUILD_DIR, and
# runs the booted-device test on it. Needs root: the image is built with mmdebstrap's root mode.
# In CI (CI or VELKOR_CI set and not empty) a test that cannot run fails; elsewhere it is skipped
# with a line that says why. The whole test is stopped after TEST_SECONDS.
# Usage: scripts/device-vm/test-device.sh BUILD_DIR CACHE
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
TEST_SECONDS=1200

cannot_run() {
    if [ -n "${CI:-}${VELKOR_CI:-}" ]; then
        echo "test-device: FAILED: $1 (CI must boot the device)" >&2
        exit 1
    fi
    echo "test-device: skipped: $1"
    exit 0
}

[ "$(id -u)" -eq 0 ] || cannot_run "building the device's image needs root"
command -v qemu-system-x86_64 >/dev/null || cannot_run "qemu-system-x86_64 is not installed"
package=$(ls -t "$build"/package/*.deb 2>/dev/null | head -n 1)
[ -n "$package" ] || cannot_run "$build/package holds no package (make package)"
started=$(date +%s)
image=$(VELKOR_VM_CACHE=$2 "$repo/scripts/device-vm/build-image.sh" "$package")
[ -f "$image/release-1.img" ] || { echo "test-device: build-image.sh gave no image: $image" >&2; exit 1; }
echo "test-device: the image $image took $(( $(date +%s) - started )) s (0 when it was cached)"
# The test itself refuses to skip (VELKOR_VM_REQUIRED): everything it needs is here.
VELKOR_VM_IMAGE=$image VELKOR_DEVICE_TOOL=$build/tools/velkor-device/velkor-device VELKOR_VM_REQUIRED=1 \
    PYTHONDONTWRITEBYTECODE=1 timeout --kill-after=30 "$TEST_SECONDS" \
    python3 -m unittest discover --start-directory "$repo/tests/device-vm" --verbose
