#!/usr/bin/env bash
# Builds and runs the test suite under each preset named (default: release, asan, tsan).
#
#   scripts/test.sh              # release, then asan (ASan + UBSan), then tsan
#   scripts/test.sh tsan         # one preset
#   TEST_EXCLUDE_TSAN=regex      # extra ctest -E filter for the tsan run only
#
# Every preset builds everything it has (the Qt window included) and runs every test; sanitizer
# reports fail the test that raised them (ASan/UBSan abort; TSan exits with status 66).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(release asan tsan); fi

jobs=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen
# Reports name the source line; a data race or a leak fails the run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1}

for preset in "${presets[@]}"; do
    echo "== ${preset}: configure and build"
    start=$(date +%s)
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== ${preset}: tests"
    filter=()
    if [ "$preset" = tsan ] && [ -n "${TEST_EXCLUDE_TSAN:-}" ]; then
        filter=(-E "$TEST_EXCLUDE_TSAN")
    fi
    ctest --preset "$preset" -j "$jobs" "${filter[@]}"
    echo "== ${preset}: done in $(($(date +%s) - start)) s"
done
