#!/usr/bin/env bash
# The watch page in headless Chromium against a private Janus (run inside
# scripts/janus/with-janus.sh): a publisher sends into a channel, the page
# joins the channel's room by name and must report decoded frames of the
# publisher's size that keep coming, with the colours the publisher sends.
#   watchpagetest.sh CHANNEL EXPECT PUBLISHER [ARGS...]
# EXPECT: "bars" (a test picture: several colours) or "board" (golive.sh's
# board: red in the centre, white on the rectangle's top edge, within 40 a
# channel). Exit 77: no browser here.
set -euo pipefail
channel=$1
expect=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
    echo "watchpagetest: chromium is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi

. "$root/scripts/web/background.sh"

in_background "$@" >"$work/publisher.log" 2>&1
serve_page --report "$work/report"
page="$page_address?server=$VENDOR_RTC_JANUS_URL&channel=$channel&report=/report"
[ -z "${KP_JANUS_TOKEN:-}" ] || page="$page&token=$KP_JANUS_TOKEN"
in_background "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run --allow-loopback-in-peer-connection \
    --autoplay-policy=no-user-gesture-required --user-data-dir="$work/profile" "$page" >"$work/browser.log" 2>&1

# Passes once two reports, at least a second apart, show frames decoded of a
# picture as expected, and more frames in the later one.
status=0
python3 - "$work/report" "$expect" <<'PY' || status=$?
import json, sys, time

path, expect = sys.argv[1:]

def shows(report):
    points = report["points"]
    if report["frames"] <= 0 or not points:
        return False
    if expect == "bars":
        return len({(p["r"] // 64, p["g"] // 64, p["b"] // 64) for p in points}) >= 3
    near = lambda point, rgb: all(abs(point[k] - v) <= 40 for k, v in zip("rgb", rgb))
    # points[4] is the centre, points[1] halfway across a quarter down.
    return near(points[4], (255, 0, 0)) and near(points[1], (255, 255, 255))

first = None
last = None
deadline = time.time() + 90
while time.time() < deadline:
    time.sleep(0.5)
    try:
        lines = open(path).read().splitlines()
    except FileNotFoundError:
        continue
    if not lines:
        continue
    last = json.loads(lines[-1])
    if not shows(last):
        continue
    if first is None:
        first = (time.time(), last["frames"])
    elif time.time() - first[0] >= 1 and last["frames"] > first[1]:
        print("watchpagetest: %dx%d, %d frames, centre %s" % (last["width"], last["height"], last["frames"],
                                                             last["points"][4]))
        sys.exit(0)
print("watchpagetest: the page never showed the picture; last report: %s" % last)
sys.exit(1)
PY
if [ $status -ne 0 ]; then
    echo "--- publisher"; tail -n 20 "$work/publisher.log"
    echo "--- browser"; tail -n 20 "$work/browser.log"
fi
exit $status
