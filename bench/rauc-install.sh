#!/bin/sh
# RAUC beside Velkor in velkor_flash_bench, on the same loop device:
#   rauc-install.sh setup DIR SLOT IMAGE   a signed plain bundle of IMAGE, and `rauc service` on a
#                                          private D-Bus, slot A booted, SLOT its slot B
#   rauc-install.sh install DIR            `rauc install` of the bundle into slot B
#   rauc-install.sh teardown DIR           stops the service and its bus
# RAUC always talks over D-Bus: the private bus's policy lets anyone call RAUC and get replies.
# The `custom` boot loader backend keeps its state in a small U-Boot environment of two copies
# through fw_setenv/fw_printenv -c, as Velkor's slot switch does.
set -eu
command="$1"
dir="$2"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus"

setup() {
    slot="$1"
    image="$2"
    mkdir -p "$dir/bundle"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
        -subj "/CN=velkor-bench" >/dev/null 2>&1
    cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow send_type="signal"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
CONF
    # Two copies of 8 KiB, as velkor-device env-init makes them.
    truncate -s 8192 "$dir/env-a" "$dir/env-b"
    printf '%s 0x0 0x2000\n%s 0x0 0x2000\n' "$dir/env-a" "$dir/env-b" >"$dir/fw_env.config"
    echo "BOOT_ORDER=A B" >"$dir/env-default"
    fw_setenv -c "$dir/fw_env.config" -f "$dir/env-default" BOOT_ORDER "A B" >/dev/null 2>&1
    cat >"$dir/bootloader.sh" <<SCRIPT
#!/bin/sh
# RAUC's custom boot loader backend: get-primary, set-primary SLOT, get-state SLOT, set-state SLOT STATE.
config="$dir/fw_env.config"
case "\$1" in
get-primary) fw_printenv -c "\$config" -n BOOT_ORDER | cut -d' ' -f1 ;;
set-primary) fw_setenv -c "\$config" BOOT_ORDER "\$2" ;;
get-state) echo good ;;
set-state) fw_setenv -c "\$config" "STATE_\$2" "\$3" ;;
*) exit 1 ;;
esac
SCRIPT
    chmod +x "$dir/bootloader.sh"
    truncate -s "$(stat -c %s "$image")" "$dir/slot-a"
    cat >"$dir/system.conf" <<CONF
[system]
compatible=velkor-bench
bootloader=custom
bundle-formats=plain
data-directory=$dir/data

[handlers]
bootloader-custom-backend=$dir/bootloader.sh

[keyring]
path=$dir/cert.pem

[slot.rootfs.0]
device=$dir/slot-a
type=raw
bootname=A

[slot.rootfs.1]
device=$slot
type=raw
bootname=B
CONF
    cp "$image" "$dir/bundle/rootfs.img"
    printf '[update]\ncompatible=velkor-bench\nversion=1\n\n[bundle]\nformat=plain\n\n[image.rootfs]\nfilename=rootfs.img\n' \
        >"$dir/bundle/manifest.raucm"
    rauc bundle --cert="$dir/cert.pem" --key="$dir/key.pem" "$dir/bundle" "$dir/update.raucb" >/dev/null
    rm -rf "$dir/bundle"
    dbus-daemon --config-file="$dir/bus.conf" --fork --print-pid >"$dir/bus.pid"
    rauc service --conf="$dir/system.conf" --override-boot-slot=A >"$dir/service.log" 2>&1 &
    echo $! >"$dir/service.pid"
    # `rauc status` fails until the service is up.
    for _ in $(seq 50); do
        rauc status >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "rauc service did not come up: $(tail -1 "$dir/service.log")" >&2
    return 1
}

case "$command" in
setup) setup "$3" "$4" ;;
install) rauc install "$dir/update.raucb" >"$dir/install.log" 2>&1 || { tail -3 "$dir/install.log" >&2; exit 1; } ;;
teardown)
    for pidfile in "$dir/service.pid" "$dir/bus.pid"; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
    done
    ;;
*) exit 2 ;;
esac
