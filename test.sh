#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
#   ./test.sh              build/ as it ships (RelWithDebInfo)
#   ./test.sh --sanitize   build-sanitize/ with AddressSanitizer and UndefinedBehaviorSanitizer:
#                          every memory error, undefined behaviour or leak fails its test
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" --test
if [[ "${1:-}" != "--sanitize" ]]; then
    "$here/scripts/build.sh"
    cd "$here/build"
    exec ctest --output-on-failure -j "$(nproc)" --timeout 300
fi

build="$here/build-sanitize"
if [[ ! -f "$build/build.ninja" ]]; then
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVOLARO_BUILD_BENCH=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
fi
cmake --build "$build" -j "$(nproc)"
# Leaks inside the system's libraries, if any, are listed in scripts/lsan.supp. No strndup
# checks: libxkbcommon-x11 (the X keyboard, in the desktop tests) passes it names without
# their terminating NUL, which the check reads past.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:intercept_strndup=0"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The checks make the program several times slower; tests that time the window allow for it.
export VOLARO_TEST_SLOWDOWN=3
cd "$build"
exec ctest --output-on-failure -j "$(nproc)" --timeout 600
