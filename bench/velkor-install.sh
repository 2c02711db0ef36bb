#!/bin/sh
# Velkor's install set up for velkor_flash_bench, with a signed card of one OS image (TOOL is
# velkor-device, WHERE `--device DIR` or `--target FILE`):
#   velkor-install.sh keys KEYS                          a test CA (the keyring) and a signer
#   velkor-install.sh target DIR TOOL KEYS SLOT_A SLOT_B the target file DIR/target.json over two
#                                                        block devices as the OS slots, with its
#                                                        environment and storage card DIR/sdcard,
#                                                        taking only the CA's cards
#   velkor-install.sh card KEYS TOOL WHERE IMAGE CARD    the signed card CARD of IMAGE
#   velkor-install.sh boot-a TOOL WHERE [DEFAULTS]       the environment back to slot A booted and
#                                                        confirmed, so that an install writes B
set -eu
command="$1"

keys() {
    dir="$1"
    openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -noenc -keyout "$dir/ca.key" \
        -out "$dir/ca.pem" -days 2 -subj "/CN=velkor-bench CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -noenc -keyout "$dir/signer.key" \
        -out "$dir/signer.csr" -subj "/CN=velkor-bench signer" >/dev/null 2>&1
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n' >"$dir/signer.ext"
    openssl x509 -req -in "$dir/signer.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
        -extfile "$dir/signer.ext" -out "$dir/signer.pem" >/dev/null 2>&1
}

target() {
    dir="$1" tool="$2" keys="$3"
    mkdir -p "$dir/sdcard" "$dir/log"
    truncate -s 64K "$dir/env.img"
    echo velkor.slot=A >"$dir/cmdline"
    printf '%s\n' 'bootcmd=boot' >"$dir/u-boot-initial-env"
    "$tool" init-target "$dir/target.json" --card "$dir/sdcard" --log "$dir/log" --os-slots "$4,$5" \
        --env "$dir/env.img:0:0x2000" --env "$dir/env.img:0x2000:0x2000" --command-line "$dir/cmdline" \
        --keyring "$keys/ca.pem" --compatible velkor-bench >/dev/null
}

card() {
    keys="$1" tool="$2" where="$3" image="$4" out="$5"
    "$tool" card "$out" $where --force --os "$image" --version 1 \
        --sign-key "$keys/signer.key" --sign-cert "$keys/signer.pem" >/dev/null
}

# Empties FILE, where it is, keeping its size: an environment copy without a valid CRC.
erase() {
    [ -e "$1" ] || return 0
    size=$(stat -c %s "$1")
    : >"$1"
    truncate -s "$size" "$1"
}

# The last install committed slot B and recorded its release: the environment is erased, so that
# env-init writes the first boot's environment again. A simulated device boots through its own
# boot loader, which names the slot on its command line; a target's command line names slot A
# already.
boot_a() {
    tool="$1" where="$2"
    if [ "${where#--device }" != "$where" ]; then
        erase "${where#--device }/uboot.env"
        erase "${where#--device }/uboot-redund.env"
    else
        erase "$(dirname "${where#--target }")/env.img"
    fi
    "$tool" env-init $where ${3:+--defaults "$3"} >/dev/null
    if [ "${where#--device }" != "$where" ]; then
        "$tool" boot "${where#--device }" >/dev/null
        "$tool" mark-good $where >/dev/null
    fi
}

case "$command" in
keys) keys "$2" ;;
target) target "$2" "$3" "$4" "$5" "$6" ;;
card) card "$2" "$3" "$4" "$5" "$6" ;;
boot-a) boot_a "$2" "$3" "${4:-}" ;;
*) exit 2 ;;
esac
