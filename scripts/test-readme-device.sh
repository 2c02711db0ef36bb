#!/bin/sh
# Runs the README's "On a real device" commands as written, in a new folder, with the build's
# velkor-device first on PATH, and checks that they end with the new OS in slot B and the boot
# environment switched to it. Needs root and loop devices; otherwise it says why and skips (77).
set -u
readme=$1
tools=$(cd "$2" && pwd)
[ "$(id -u)" = 0 ] || { echo "skipped: the real-device commands need root"; exit 77; }
losetup --find >/dev/null 2>&1 || { echo "skipped: no free loop device"; exit 77; }
folder=$(mktemp -d)
# Loop devices the commands made are let go whatever happens.
cleanup() {
    for image in "$folder"/*.img; do
        losetup -j "$image" | cut -d: -f1 | while read -r device; do losetup -d "$device"; done
    done
    rm -rf "$folder"
}
trap cleanup EXIT
sed -n '/^### On a real device$/,/^```$/p' "$readme" | sed -n '/^```sh$/,/^```$/p' | sed '1d;$d' > "$folder/commands.sh"
[ -s "$folder/commands.sh" ] || { echo "the README has no real-device commands"; exit 1; }
output=$(cd "$folder" && PATH="$tools:$PATH" sh -e commands.sh 2>&1)
status=$?
echo "$output"
[ "$status" = 0 ] || { echo "the README's real-device commands failed ($status)"; exit 1; }
echo "$output" | grep -qx 'BOOT_ORDER=B A' || { echo "the boot environment does not boot slot B first"; exit 1; }
echo "$output" | grep -q '^installed: every row succeeded and the commit was made$' \
    || { echo "install did not report the commit made"; exit 1; }
