#!/usr/bin/env bash
# Runs a fuzz target of a fuzz build (first argument: its build folder) for
# the given number of seconds (second), starting from its seed corpus:
# fuzz_board (the default third argument) from fuzz/corpus, fuzz_pictures
# from fuzz/corpus-pictures, fuzz_scenes from fuzz/corpus-scenes. New inputs go to <build>/fuzz-corpus[-pictures];
# a crash, sanitizer report or leak leaves its input in
# <build>/fuzz-artifacts and fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build_dir=$1
seconds=${2:-60}
target=${3:-fuzz_board}
seeds="$root/fuzz/corpus"
suffix=""
case "$target" in
fuzz_pictures) suffix="-pictures" ;;
fuzz_scenes) suffix="-scenes" ;;
esac
[ -z "$suffix" ] || seeds="$root/fuzz/corpus$suffix"

corpus="$build_dir/fuzz-corpus$suffix"
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"

unwind=""
# Qt's JSON parser leaks on some malformed scene files (scripts/lsan.supp);
# only full stacks through Qt, which has no frame pointers, reach the entry.
[ "$target" != fuzz_scenes ] || unwind=":fast_unwind_on_malloc=0"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1$unwind${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# libobs starts only with an X display, even without video.
exec "$root/scripts/with-display.sh" "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds"
