#!/usr/bin/env bash
# Runs inside scripts/janus/with-janus.sh (make live-screenshot): the studio
# (kp-host view) goes live with a drawn-on whiteboard, and the watch page, in headless Chromium,
# is pictured once it shows the board. Arguments: the build folder, the PNG.
set -euo pipefail
build_dir=$1
out=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/web/background.sh"

stroke() { # type colour width x1 y1 x2 y2
    printf '{"do": "update", "name": "board", "settings": {"kp_wb_draw_type": %s, "kp_wb_draw_color": %s, "kp_wb_line_width": %s}},\n' "$1" "$2" "$3"
    printf '{"do": "mouse", "name": "board", "action": "down", "x": %s, "y": %s},\n' "$4" "$5"
    printf '{"do": "mouse", "name": "board", "action": "move", "x": %s, "y": %s},\n' "$6" "$7"
    printf '{"do": "mouse", "name": "board", "action": "up", "x": %s, "y": %s},\n' "$6" "$7"
}
{
    echo '{"canvas": [1280, 720], "steps": ['
    echo '{"do": "create", "name": "board", "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 1280, "kp_wb_height": 720, "kp_wb_background": 4294967295}},'
    stroke 1 4278190335 8 160 140 620 420
    stroke 5 4294901760 6 720 160 1120 460
    stroke 3 4278222848 10 300 560 980 560
    echo '{"do": "start_output", "name": "live", "type": "kp_rtc_output", "settings": {"server": "'"$VENDOR_RTC_JANUS_URL"'", "channel": "lesson", "uid": 7}},'
    echo '{"do": "frames", "count": 3600}]}'
} >"$work/live.json"
in_background "$build_dir/host/player/kp-host" view "$work/live.json" --out "$work" >"$work/host.log" 2>&1
serve_page
python3 "$root/scripts/web/screenshot.py" --wait-for "frames" \
    --size 1000x640 "$page_address?server=$VENDOR_RTC_JANUS_URL&channel=lesson" "$out"
