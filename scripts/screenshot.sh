#!/bin/sh
# Remakes docs/main-window.png: the main window of an 800x480 device right after the unattended
# update that a card with an AutoUpdate folder starts, with the final message closed.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (needs xvfb, xdotool and netpbm)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in xvfb-run xdotool xwdtopnm; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (apt-get install xvfb xdotool netpbm)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/velkor-device/velkor-device" init "$work/device" --auto --screen 800x480 >/dev/null

# The virtual display keeps its screen in $work/Xvfb_screen0, an XWD image.
xvfb-run --auto-servernum --server-args="-screen 0 800x480x24 -nolisten tcp -fbdir $work" sh -c '
    "$1/src/app/velkor" --device "$2/device" 2>/dev/null &
    velkor=$!
    box=$(xdotool search --sync --onlyvisible --name "^velkor$" | head -n 1)
    xdotool windowfocus --sync "$box" key Return mousemove 799 479
    sleep 1
    xwdtopnm "$2/Xvfb_screen0" 2>/dev/null | pnmtopng > "$2/shot.png"
    kill "$velkor"
' sh "$build" "$work"
cp "$work/shot.png" docs/main-window.png
echo "screenshot.sh: docs/main-window.png"
