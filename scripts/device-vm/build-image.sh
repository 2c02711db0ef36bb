#!/bin/sh
# Builds the virtual device's system from Debian's packages: the build machine's release with the
# kernel, systemd, dosfstools and the Velkor package PACKAGE installed by apt (so its declared
# dependencies are what make it run), examples/velkor.service as the unit, and the guest/ files (the
# target file with two-slot OS and App regions, the registry, the storage card's mount unit, the
# mark-good unit, fstab). Prints the folder that holds
# rootfs.img (ext4), vmlinuz and initrd.img.
#
# The image is cached in CACHE (VELKOR_VM_CACHE, /var/cache/velkor-vm unless set), keyed by what goes
# into it: this script, the guest files, the unit, the release's sources and the package's contents.
# Downloaded Debian packages are kept in CACHE/debs, so a new key does not download them again.
# Usage: scripts/device-vm/build-image.sh PACKAGE   (as root)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
package=$(realpath "$1")
cache=${VELKOR_VM_CACHE:-/var/cache/velkor-vm}
unit=$repo/examples/velkor.service
sources=/etc/apt/sources.list.d/debian.sources
[ -f "$sources" ] || sources=/etc/apt/sources.list
. /etc/os-release
suite=$VERSION_CODENAME

# The package's control fields, file list and file contents, without the timestamps cpack varies.
package_digest() {
    dpkg-deb -f "$package"
    dpkg-deb -c "$package" | awk '{print $1, $6}'
    dpkg-deb --fsys-tarfile "$package" | tar -xO | sha256sum
}
key=$( {
    echo "$suite"
    cat "$sources" "$0" "$unit"
    (cd "$here/guest" && find . -type f | LC_ALL=C sort | xargs sha256sum)
    package_digest
} | sha256sum | cut -c1-16)
image=$cache/image-$key
if [ -f "$image/rootfs.img" ]; then
    echo "$image"
    exit 0
fi

mkdir -p "$cache/debs"
work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Documentation, manual pages and translations are left out: nothing on the device reads them.
mmdebstrap --mode=root --variant=apt --quiet \
    --include=systemd-sysv,udev,kmod,linux-image-amd64,dosfstools \
    --include="$package" \
    --hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount \
    --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    --dpkgopt='path-exclude=/usr/share/doc/*' \
    --skip=download/empty \
    --setup-hook='mkdir -p "$1"/var/cache/apt/archives' \
    --setup-hook="sync-in $cache/debs /var/cache/apt/archives/" \
    --customize-hook="sync-out /var/cache/apt/archives $cache/debs" \
    --customize-hook='rm -f "$1"/var/cache/apt/archives/*.deb' \
    --customize-hook="cp -R $here/guest/. \"\$1\"/" \
    --customize-hook="cp $unit \"\$1\"/etc/systemd/system/velkor.service" \
    --customize-hook='mkdir -p "$1"/media/sdcard "$1"/mnt/nand "$1"/mnt/data' \
    --customize-hook='chroot "$1" systemctl enable velkor.service velkor-mark-good.service velkor-events-serial.service' \
    "$suite" "$work/root" "$sources" >&2

cp "$work"/root/boot/vmlinuz-* "$work/vmlinuz"
cp "$work"/root/boot/initrd.img-* "$work/initrd.img"
# Room for what the system writes while it runs; the test boots it with a throw-away overlay.
size_mib=$(( $(du -sm "$work/root" | cut -f1) + 512 ))
mkfs.ext4 -q -L velkor-root -d "$work/root" "$work/rootfs.img" "${size_mib}M" >&2
rm -rf "$work/root"
# One image at a time: an older key's image is of no more use.
rm -rf "$cache"/image-*
mv "$work" "$image"
trap - EXIT
echo "$image"
