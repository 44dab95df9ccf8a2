#!/usr/bin/env bash
# Runs inside scripts/janus/with-janus.sh (make live): kp-host's studio goes
# live into the probe's channel with a whiteboard to draw on, the watch page
# is served on loopback (its address is printed), and rtc-probe joins with the
# real engine (click its button). Closing the probe ends everything.
# Argument: the build folder.
set -euo pipefail
build_dir=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
setting() { sed -n "s/^$1:STRING=//p" "$build_dir/CMakeCache.txt"; }
channel=$(setting RTC_PROBE_CHANNEL)
. "$root/scripts/web/background.sh"

cat >"$work/live.json" <<JSON
{"canvas": [1280, 720], "steps": [
  {"do": "create", "name": "Whiteboard", "type": "kp_source_whiteboard",
   "settings": {"kp_wb_width": 1280, "kp_wb_height": 720, "kp_wb_draw_type": 6, "kp_wb_line_width": 6}},
  {"do": "start_output", "name": "live", "type": "kp_rtc_output",
   "settings": {"server": "$VENDOR_RTC_JANUS_URL", "channel": "$channel", "uid": 4242}}]}
JSON
serve_page
in_background "$build_dir/host/player/kp-host" view "$work/live.json" --out "$work"
echo
echo "Watch the studio in a browser: $page_address?server=$VENDOR_RTC_JANUS_URL&channel=$channel"
echo
VENDOR_RTC_ENGINE=janus "$build_dir/probe/rtc-probe"
