#!/usr/bin/env bash
# Runs the fuzz target of a fuzz build (first argument: its build folder) for
# the given number of seconds, starting from the seed corpus in fuzz/corpus.
# New inputs go to <build>/fuzz-corpus; a crash, sanitizer report or leak
# leaves its input in <build>/fuzz-artifacts and fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build_dir=$1
seconds=${2:-60}

corpus="$build_dir/fuzz-corpus"
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# libobs starts only with an X display, even without video.
exec "$root/scripts/with-display.sh" "$build_dir/fuzz/fuzz_board" -max_total_time="$seconds" -max_len=65536 -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$root/fuzz/corpus"
