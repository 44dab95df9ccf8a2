#!/usr/bin/env bash
# kp-host going live into CHANNEL of the private Janus (VENDOR_RTC_JANUS_URL):
# a red whiteboard with a white rectangle (40 px wide, from 200,100 to
# 440,260) on a 640x360 canvas,
# for two minutes or until stopped, in CODEC (vp8 unless given).
#   golive.sh KP_HOST CHANNEL [CODEC]
set -euo pipefail
host=$1
channel=$2
codec=${3:-vp8}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/live.json" <<JSON
{"canvas": [640, 360], "steps": [
  {"do": "create", "name": "board", "type": "kp_source_whiteboard",
   "settings": {"kp_wb_width": 640, "kp_wb_height": 360, "kp_wb_background": 4278190335}},
  {"do": "update", "name": "board", "settings": {"kp_wb_draw_type": 1, "kp_wb_draw_color": 4294967295,
   "kp_wb_line_width": 40}},
  {"do": "mouse", "name": "board", "action": "down", "x": 200, "y": 100},
  {"do": "mouse", "name": "board", "action": "move", "x": 440, "y": 260},
  {"do": "mouse", "name": "board", "action": "up", "x": 440, "y": 260},
  {"do": "start_output", "name": "live", "type": "kp_rtc_output",
   "settings": {"server": "$VENDOR_RTC_JANUS_URL", "channel": "$channel", "uid": 71,
                "codec": "$codec"}},
  {"do": "frames", "count": 3600}]}
JSON
exec "$host" play "$dir/live.json" --out "$dir"
