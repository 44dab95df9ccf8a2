#!/usr/bin/env bash
# Runs a command with an X display: the current one if DISPLAY is set,
# otherwise a private Xvfb server on a free display number, stopped afterwards.
# Xvfb picks the number itself (-displayfd), so parallel runs never collide.
# -noreset: by default the server resets whenever its last client leaves and
# drops the connections arriving meanwhile, which fails short test programs
# that start while another one exits.
set -euo pipefail

if [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi

fifo_dir=$(mktemp -d)
trap 'rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/display"

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo_dir/display" >"$fifo_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; rm -rf "$fifo_dir"' EXIT

if ! read -r -t 30 display_number <"$fifo_dir/display"; then
    echo "with-display: Xvfb did not start" >&2
    cat "$fifo_dir/xvfb.log" >&2 || true
    exit 1
fi

export DISPLAY=":$display_number"
# A private display has no desktop session. Without a session bus address,
# D-Bus starts one through the display (autolaunch) for Qt's accessibility
# bridge, and a widget program waits for it; inside the Janus tests' network
# namespace that start can hang for good. An address that fails at once
# leaves Qt without a session bus, which it does not need here.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$fifo_dir/no-session-bus"
fi
status=0
"$@" || status=$?
exit "$status"
