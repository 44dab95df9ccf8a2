#!/usr/bin/env bash
# Runs a command with a private Janus server (HTTP on 127.0.0.1, a free port,
# the video room plug-in only), stopped afterwards, the way with-display.sh
# does for X. The command sees:
#   VENDOR_RTC_JANUS_URL  the server's API root, e.g. http://127.0.0.1:40123/janus
#   KP_JANUS_CONTROL      a script: "stop" ends the server, "start" starts it
#                         again on the same ports (for tests of a lost server),
#                         "hangup-media" drops every peer connection through
#                         the admin API, as the server does when ICE fails
#   KP_JANUS_TOKEN        with --token-secret: a token valid for a day
# Options (before the command):
#   --token-secret TEXT  turn on Janus's token authentication with tokens
#                  signed by TEXT (HMAC-SHA1, Janus's signed-token scheme:
#                  they survive a restart of the server, unlike stored ones)
#   --log FILE     append the server's log to FILE (default: a temporary file,
#                  printed when the server fails to start)
# When run as root where `unshare` works, the command and the server run in a
# network namespace of their own whose only interface is the loopback one, so
# media never leaves this machine. KP_JANUS_NETNS=0 turns that off.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "$(id -u)" -eq 0 ] && [ "${KP_JANUS_NETNS:-1}" = 1 ] && [ -z "${KP_JANUS_IN_NETNS:-}" ] \
    && unshare -n true 2>/dev/null; then
    export KP_JANUS_IN_NETNS=1
    exec unshare -n bash -c 'ip link set lo up && ip link add kp-ice type veth peer name kp-ice-peer &&
        ip addr add 127.0.0.2/32 dev kp-ice && ip link set kp-ice up && ip link set kp-ice-peer up &&
        for side in kp-ice kp-ice-peer; do echo 1 >/proc/sys/net/ipv6/conf/$side/disable_ipv6; done
        exec "$0" "$@"' "$0" "$@"
fi

token_secret=""
log=""
while [ $# -gt 0 ]; do
    case "$1" in
        --token-secret) token_secret="$2"; shift 2 ;;
        --log) log="$2"; shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: with-janus.sh [--token-secret TEXT] [--log FILE] COMMAND [ARGS...]" >&2
    exit 2
fi

janus_bin=$(command -v janus || true)
if [ -z "$janus_bin" ]; then
    echo "with-janus: janus is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
libdir=$(dirname "$(find /usr/lib -path '*/janus/plugins/libjanus_videoroom.so' -print -quit)")
libdir=$(dirname "$libdir")

dir=$(mktemp -d)
cleanup() {
    [ -x "$dir/control.sh" ] && "$dir/control.sh" stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/conf" "$dir/plugins" "$dir/transports" "$dir/empty"
ln -s "$libdir/plugins/libjanus_videoroom.so" "$dir/plugins/"
ln -s "$libdir/transports/libjanus_http.so" "$dir/transports/"
[ -n "$log" ] || log="$dir/janus.log"

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
port=$(free_port)
admin_port=$(free_port)
admin_secret=$(python3 -c 'import secrets; print(secrets.token_hex(8))')
rtp_base=$((20000 + (RANDOM % 400) * 100))
token_auth=false
[ -z "$token_secret" ] || token_auth=true
# ICE candidates: on the namespace's own interface when there is one (Janus
# and libnice leave the loopback interface out), else wherever Janus finds.
ice_enforce=""
[ -n "${KP_JANUS_IN_NETNS:-}" ] && ice_enforce="kp-ice"

fill() {
    sed -e "s|@CONFIGS@|$dir/conf|" -e "s|@PLUGINS@|$dir/plugins|" \
        -e "s|@TRANSPORTS@|$dir/transports|" -e "s|@EMPTY@|$dir/empty|" \
        -e "s|@TOKEN_AUTH@|$token_auth|" -e "s|@TOKEN_SECRET@|$token_secret|" -e '/token_auth_secret = ""/d' \
        -e "s|@ICE_ENFORCE@|$ice_enforce|" -e "s|@RTP_RANGE@|$rtp_base-$((rtp_base + 99))|" \
        -e "s|@ADMIN_PORT@|$admin_port|" -e "s|@ADMIN_SECRET@|$admin_secret|" \
        -e "s|@PORT@|$port|" "$1"
}
fill "$here/janus.jcfg.in" >"$dir/conf/janus.jcfg"
fill "$here/janus.transport.http.jcfg.in" >"$dir/conf/janus.transport.http.jcfg"
cp "$here/janus.plugin.videoroom.jcfg" "$dir/conf/"

url="http://127.0.0.1:$port/janus"
{
    echo '#!/usr/bin/env bash'
    echo '# Stops or starts the private Janus server; "start" waits until it answers.'
    echo 'set -u'
    printf 'dir=%q; log=%q; url=%q; janus=%q\n' "$dir" "$log" "$url" "$janus_bin"
    printf 'admin=%q; admin_secret=%q\n' "http://127.0.0.1:$admin_port/admin" "$admin_secret"
    cat <<'BODY'
case "${1:-}" in
stop)
    if [ -f "$dir/pid" ]; then
        pid=$(cat "$dir/pid"); rm -f "$dir/pid"
        kill "$pid" 2>/dev/null || exit 0
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi ;;
start)
    "$janus" -F "$dir/conf" -C "$dir/conf/janus.jcfg" -o >>"$log" 2>&1 </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 200); do
        curl -sf -m 2 "$url/info" >/dev/null 2>&1 && exit 0
        kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
        sleep 0.1
    done
    echo "with-janus: Janus did not start; its log:" >&2
    tail -n 40 "$log" >&2
    exit 1 ;;
hangup-media)
    python3 - "$admin" "$admin_secret" <<'PY'
import json, sys, urllib.request

admin, secret = sys.argv[1:]

def ask(path, request):
    body = dict(request, transaction="kp", admin_secret=secret)
    with urllib.request.urlopen(admin + path, json.dumps(body).encode(), timeout=5) as reply:
        return json.load(reply)

for session in ask("", {"janus": "list_sessions"}).get("sessions", []):
    for handle in ask("/%d" % session, {"janus": "list_handles"}).get("handles", []):
        ask("/%d/%d" % (session, handle), {"janus": "hangup_webrtc"})
PY
    ;;
*)
    echo "usage: $0 start|stop|hangup-media" >&2; exit 2 ;;
esac
BODY
} >"$dir/control.sh"
chmod +x "$dir/control.sh"

"$dir/control.sh" start
export VENDOR_RTC_JANUS_URL="$url"
if [ -n "$token_secret" ]; then
    KP_JANUS_TOKEN=$(python3 -c 'import base64, hashlib, hmac, sys, time
data = "%d,janus,janus.plugin.videoroom" % (time.time() + 86400)
print(data + ":" + base64.b64encode(hmac.new(sys.argv[1].encode(), data.encode(), hashlib.sha1).digest()).decode())' "$token_secret")
    export KP_JANUS_TOKEN
fi
export KP_JANUS_CONTROL="$dir/control.sh"
# In the background, so that a stopped run (a test's time-out) still ends the
# command and the server instead of leaving them behind.
"$@" &
child=$!
trap 'kill -TERM "$child" 2>/dev/null || true; exit 143' TERM INT
status=0
wait "$child" || status=$?
exit "$status"
