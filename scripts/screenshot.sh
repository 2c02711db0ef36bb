#!/bin/sh
# Remakes the screenshots in docs/:
#   main-window.png          on an 800x480 device, the main window after the operator picked an
#                            OS image with the keys and ticked its row, the focus on the OS box;
#   main-window-480x272.png  on a 480x272 device, the main window right after the unattended
#                            update that a card with an AutoUpdate folder starts, with the final
#                            message closed;
#   picker-folder.png        the file picker of the OS row in \StorageCard\Images, a file selected;
#   picker-root-chinese.png  the picker's root view (the stores) on a Chinese-language device.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (needs xvfb, xdotool and netpbm)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in xvfb-run xdotool xwdtopnm; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (apt-get install xvfb xdotool netpbm)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shoot NAME SCREEN INIT_OPTIONS STEP...: runs the updater on a new device with a SCREEN (800x480)
# and a virtual display of that size, and works it step by step, a
# step being "wait:TITLE" (wait for that window and give it the keys), "dialog" (the same for the
# updater's window that is not its main window: the file picker has no title to find it by), or
# keys in xdotool's names.
shoot() {
    name=$1
    screen=$2
    options=$3
    shift 3
    rm -rf "$work/device"
    # shellcheck disable=SC2086 # the options are words
    "$build/tools/velkor-device/velkor-device" init "$work/device" --screen "$screen" $options >/dev/null
    # The virtual display keeps its screen in $work/Xvfb_screen0, an XWD image.
    xvfb-run --auto-servernum --server-args="-screen 0 ${screen}x24 -nolisten tcp -noreset -fbdir $work" sh -c '
        build=$1
        work=$2
        shift 2
        "$build/src/app/velkor" --device "$work/device" 2>/dev/null &
        velkor=$!
        for step in "$@"; do
            case $step in
                wait:*)
                    window=$(xdotool search --sync --onlyvisible --name "${step#wait:}" | head -n 1)
                    xdotool windowfocus --sync "$window" ;;
                dialog)
                    main=$(xdotool search --onlyvisible --name "^VelkorWnd$" | head -n 1)
                    window=
                    while [ -z "$window" ]; do
                        sleep 0.2
                        window=$(xdotool search --onlyvisible --pid "$velkor" | grep -vx "$main" | head -n 1 || true)
                    done
                    xdotool windowfocus --sync "$window" ;;
                *)
                    xdotool key --delay 100 $step ;;
            esac
        done
        xdotool mousemove 4000 4000
        sleep 1
        xwdtopnm "$work/Xvfb_screen0" 2>/dev/null | pnmtopng > "$work/shot.png"
        kill "$velkor"
    ' sh "$build" "$work" "$@"
    cp "$work/shot.png" "docs/$name"
    echo "screenshot.sh: docs/$name"
}

# The final message is titled with the program's name.
shoot main-window.png 800x480 "" "wait:^VelkorWnd$" "Right Return" "dialog" "Down Down Return Down Return" "Left Return"
shoot main-window-480x272.png 480x272 "--auto" "wait:^velkor$" "Return"
shoot picker-folder.png 800x480 "" "wait:^VelkorWnd$" "Tab space" "dialog" "Down Down Return Down"
shoot picker-root-chinese.png 800x480 "--language 0x0804" "wait:^VelkorWnd$" "Tab space" "dialog" "Down Return"
