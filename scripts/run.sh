#!/bin/sh
# Runs the updater on a simulated device: in a window of the device's screen size when there is
# a display, otherwise on a virtual display of that size served over VNC to this machine only
# (the updater can flash the device, so its screen must not be reachable from the network).
# Usage: run.sh BUILD_DIR [DEVICE_DIR]
set -eu

build=$1
velkor=$build/src/app/velkor
tool=$build/tools/velkor-device/velkor-device
device=${2:-${VELKOR_DEVICE:-${XDG_DATA_HOME:-$HOME/.local/share}/velkor/device}}

[ -f "$device/device.json" ] || "$tool" init "$device"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$velkor" --device "$device"
fi

screen=$("$tool" show "$device" | sed -n 's/^Screen: *\([0-9]*\) x \([0-9]*\).*/\1x\2/p')
display=:$(( $(id -u) % 100 + 50 ))
port=${VELKOR_VNC_PORT:-5900}

Xvfb "$display" -screen 0 "${screen:-800x480}x24" -nolisten tcp -noreset &
xvfb=$!
trap 'kill $xvfb ${vnc:-} 2>/dev/null || true' EXIT INT TERM
sleep 1
x11vnc -display "$display" -localhost -rfbport "$port" -forever -shared -nopw -quiet &
vnc=$!

echo "velkor: no display here; the updater runs on the virtual display $display (${screen:-800x480})."
echo "velkor: connect a VNC viewer to 127.0.0.1:$port (from elsewhere: ssh -L $port:127.0.0.1:$port this-host)."
DISPLAY=$display "$velkor" --device "$device"
