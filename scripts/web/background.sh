# Sourced by the scripts that run the watch page: a scratch folder ($work) and
# background processes, all gone when the script exits, and the page served.
work=$(mktemp -d)
background_pids=()
stop_background() {
    for pid in "${background_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap stop_background EXIT

# Runs a command until the script ends (its output: redirect at the call).
in_background() {
    "$@" &
    background_pids+=($!)
}

# Serves web/ on loopback, extra arguments going to serve.py; sets
# $page_address once the server says where it listens.
serve_page() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    in_background python3 "$root/scripts/web/serve.py" --root "$root/web" "$@" >"$work/address"
    for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
    page_address=$(head -n 1 "$work/address")
}
