#!/usr/bin/env bash
# Runs inside with-janus.sh (make probe-live): a publisher sends its test
# picture into the probe's channel, and rtc-probe joins with the real engine;
# the publisher stops when the probe closes. Argument: the build folder.
set -euo pipefail
build_dir=${1:-build}
setting() { sed -n "s/^$1:STRING=//p" "$build_dir/CMakeCache.txt"; }
export VENDOR_RTC_ENGINE=janus
"$build_dir/sdk/rtc/rtc-publisher" "$(setting RTC_PROBE_CHANNEL)" 9001 "$(setting RTC_PROBE_TOKEN)" &
publisher=$!
trap 'kill "$publisher" 2>/dev/null || true; wait "$publisher" 2>/dev/null || true' EXIT
"$build_dir/probe/rtc-probe"
