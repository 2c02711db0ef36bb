#!/bin/sh
# Builds (or takes from CACHE) the virtual device's image with the newest package of BUILD_DIR, and
# runs the booted-device test on it. Needs root: the image is built with mmdebstrap's root mode.
# Usage: scripts/device-vm/test-device.sh BUILD_DIR CACHE
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "test-device: skipped: building the device's image needs root"
    exit 0
fi
package=$(ls -t "$build"/package/*.deb | head -n 1)
started=$(date +%s)
image=$(VELKOR_VM_CACHE=$2 "$repo/scripts/device-vm/build-image.sh" "$package")
[ -f "$image/rootfs.img" ] || { echo "test-device: build-image.sh gave no image: $image" >&2; exit 1; }
echo "test-device: the image $image took $(( $(date +%s) - started )) s (0 when it was cached)"
VELKOR_VM_IMAGE=$image VELKOR_DEVICE_TOOL=$build/tools/velkor-device/velkor-device PYTHONDONTWRITEBYTECODE=1 \
    python3 -m unittest discover --start-directory "$repo/tests/device-vm" --verbose
