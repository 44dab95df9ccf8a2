#!/usr/bin/env bash
# Runs the test suite of a sanitizer build (first argument: its build folder)
# on the private display, so that any sanitizer report fails its test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=$1
shift

# Reports fail the process: AddressSanitizer and LeakSanitizer exit non-zero,
# UndefinedBehaviorSanitizer stops at the first report (the build also turns
# recovery off). Library-internal leaks are suppressed in scripts/lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# libobs unloads its OpenGL module, and with it Mesa's driver, at shutdown;
# the statics they still hold would then be reported as leaks from an
# "<unknown module>". Preloaded libraries are never unloaded, so their statics
# stay reachable. The sanitizer runtime then no longer comes first in the
# library list, which is harmless since every test program links it.
preload=""
for pattern in '/usr/lib/*/libobs-opengl.so.[0-9]*' '/usr/lib/*/dri/swrast_dri.so'; do
    library=$(compgen -G "$pattern" | head -n 1 || true)
    if [ -n "$library" ]; then
        preload="$preload${preload:+:}$library"
    fi
done
if [ -n "$preload" ]; then
    export LD_PRELOAD="$preload${LD_PRELOAD:+:$LD_PRELOAD}"
    export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
fi

exec "$here/../with-display.sh" ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j2 "$@"
