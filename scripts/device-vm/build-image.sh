#!/bin/sh
# Builds the virtual device's system from Debian's packages: the build machine's release with the
# kernel, systemd, D-Bus (which `systemctl reboot` asks logind through), dosfstools and the Velkor
# package PACKAGE installed by apt (so its declared
# dependencies are what make it run), examples/velkor.service as the unit, and the guest/ files (the
# target file with two-slot OS and App regions, the registry, the storage card's udev rule, the
# mark-good unit, fstab). Of that one system it makes a read-only root file system (squashfs) per
# release, each naming itself in /etc/velkor-release: 1, 2 and 3, and 3b, which is 3 without
# mark-good; all but release 1 carry the keyring of the CA the image folder keeps (ca.pem, ca.key)
# and take signed cards only. A slot holds one of them; the kernel boots the slot the boot loader
# chose. Prints the folder that holds release-1.img ... release-3b.img, vmlinuz and initrd.img.
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

# What the image takes of the package: its control fields, file list and file contents, without the
# timestamps cpack varies and without the documentation, manual pages and translations, which the
# image leaves out (below), so that a change to the docs alone does not build a new image.
package_files() {
    dpkg-deb --fsys-tarfile "$package" | tar "$@" --exclude=./usr/share/doc --exclude=./usr/share/man \
        --exclude=./usr/share/locale
}
package_digest() {
    dpkg-deb -f "$package"
    package_files -tv | awk '{print $1, $6}'
    package_files -xO | sha256sum
}
key=$( {
    echo "$suite"
    cat "$sources" "$0" "$unit"
    (cd "$here/guest" && find . -type f | LC_ALL=C sort | xargs sha256sum)
    package_digest
} | sha256sum | cut -c1-16)
image=$cache/image-$key
if [ -f "$image/release-1.img" ]; then
    echo "$image"
    exit 0
fi

mkdir -p "$cache/debs"
work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Documentation, manual pages and translations are left out: nothing on the device reads them.
mmdebstrap --mode=root --variant=apt --quiet \
    --include=systemd-sysv,udev,kmod,linux-image-amd64,dosfstools,dbus \
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
    --customize-hook='chroot "$1" systemctl enable velkor.service velkor-mark-good.service velkor-events-serial.service velkor-release-console.service' \
    --customize-hook='echo squashfs >>"$1"/etc/initramfs-tools/modules && chroot "$1" update-initramfs -u -k all' \
    "$suite" "$work/root" "$sources" >&2

cp "$work"/root/boot/vmlinuz-* "$work/vmlinuz"
cp "$work"/root/boot/initrd.img-* "$work/initrd.img"
# What the running system never reads, so that a slot stays small: the kernel and initrd (QEMU loads
# them), the GPU drivers' LLVM (Qt draws on the frame buffer) and modules for hardware the machine lacks.
modules=$(echo "$work"/root/usr/lib/modules/*/kernel)
rm -rf "$work"/root/boot/* "$work"/root/usr/lib/x86_64-linux-gnu/dri "$work"/root/usr/lib/x86_64-linux-gnu/libLLVM-* \
    "$work"/root/usr/lib/x86_64-linux-gnu/libz3.so.* "$modules"/sound "$modules"/drivers/net \
    "$modules"/drivers/media "$modules"/drivers/infiniband "$modules"/drivers/staging "$modules"/drivers/iio \
    "$modules"/drivers/gpu/drm/amd "$modules"/drivers/gpu/drm/nouveau "$modules"/drivers/gpu/drm/i915 \
    "$modules"/drivers/gpu/drm/radeon
# The device maker's update CA: the releases after the factory's carry it as their keyring. The test
# signs its cards with a signer this key certifies; ca.key stays in the image folder for that.
openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -noenc -keyout "$work/ca.key" \
    -out "$work/ca.pem" -days 3650 -subj "/CN=Velkor VM Update CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
target=$work/root/etc/velkor/target.json
# Each release: its name, and whether mark-good confirms its boots. Release 1, from the factory,
# takes any card; 2, 3 and 3b take only cards signed for the family velkor-vm.
for release in 1:good 2:good 3:good 3b:unconfirmed; do
    name=${release%%:*}
    echo "$name" >"$work/root/etc/velkor-release"
    cp "$here/guest/etc/velkor/target.json" "$target"
    rm -f "$work/root/etc/velkor/keyring.pem"
    if [ "$name" != 1 ]; then
        install -m 0644 "$work/ca.pem" "$work/root/etc/velkor/keyring.pem"
        python3 -c 'import json, sys
target = json.load(open(sys.argv[1]))
target["trust"] = {"keyring": "/etc/velkor/keyring.pem", "compatible": "velkor-vm"}
json.dump(target, open(sys.argv[1], "w"), indent=4)' "$target"
    fi
    wants=$work/root/etc/systemd/system/multi-user.target.wants/velkor-mark-good.service
    if [ "${release#*:}" = good ]; then
        ln -sf /etc/systemd/system/velkor-mark-good.service "$wants"
    else
        rm -f "$wants"
    fi
    # Releases built from one tree differ in a few blocks only, and Velkor writes only the chunks that
    # differ. 16 MiB of the release's own bytes at the image's start make an update write the whole
    # slot, so that a cut can land while it is written.
    head -c 16777216 /dev/urandom >"$work/root/etc/velkor-release-bytes"
    echo "etc/velkor-release-bytes 32767" >"$work/first"
    mksquashfs "$work/root" "$work/release-$name.img" -comp zstd -Xcompression-level 6 -sort "$work/first" \
        -quiet -no-progress >&2
done
rm -rf "$work/root" "$work/first"
# One image at a time: an older key's image is of no more use, nor what a build that was killed left.
rm -rf "$cache"/image-*
mv "$work" "$image"
trap - EXIT
rm -rf "$cache"/build.*
echo "$image"
