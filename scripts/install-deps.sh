#!/bin/sh
# Installs the Debian packages Velkor needs to build, test and run; does nothing when all are present.
# With "bench", also what `make bench` runs beside Velkor: RAUC on a private D-Bus, and mksquashfs
# for its bundle.
set -eu

packages="build-essential cmake pkg-config qt6-base-dev libgtest-dev libgmock-dev \
nlohmann-json3-dev libfmt-dev libxxhash-dev libubootenv-dev libubootenv-tool xvfb xauth x11vnc xdotool fonts-droid-fallback \
clang libclang-rt-dev libxcb1-dev dosfstools mtools fusefat fuse3 libssl-dev openssl lintian man-db \
qemu-system-x86 mmdebstrap squashfs-tools e2fsprogs systemd python3 libfuse3-dev qemu-system-arm u-boot-qemu u-boot-tools"
if [ "${1:-}" = bench ]; then
    packages="$packages rauc rauc-service dbus-daemon squashfs-tools"
fi

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
