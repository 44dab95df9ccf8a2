#!/usr/bin/env bash
# Runs the test suite of a sanitizer build (first argument: its build folder)
# on the private display, so that any sanitizer report fails its test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=$1
shift

# Reports fail the process: AddressSanitizer and LeakSanitizer exit non-zero,
# UndefinedBehaviorSanitizer stops at the first report (the build also turns
# recovery off). Library-internal leaks are suppressed in lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# libobs unloads Mesa's driver at shutdown, after which its leaks could only
# be reported as "<unknown module>"; a preloaded library is never unloaded.
# The sanitizer runtime then no longer comes first in the library list, which
# is harmless here since the runtime is linked into every test program.
driver=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1 || true)
if [ -n "$driver" ]; then
    export LD_PRELOAD="$driver${LD_PRELOAD:+:$LD_PRELOAD}"
    export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
fi

exec "$here/../with-display.sh" ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j2 "$@"
