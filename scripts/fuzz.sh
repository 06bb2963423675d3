#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset: clang, ASan, UBSan), writes a fresh seed corpus with
# korvane-fuzz-seeds and runs every target for FUZZ_SECONDS (default 60) one after the other.
#
#   FUZZ_SECONDS=600 scripts/fuzz.sh              # longer run
#   FUZZ_TARGETS="exchange flows" scripts/fuzz.sh # some targets only
#
# The growing corpus stays in build/fuzz/corpus/<target> between runs; crashes, leaks, timeouts
# and broken properties are written to build/fuzz/findings/ and make the script fail. A summary
# (executions, executions per second, coverage) is printed and kept in build/fuzz/summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
build=build/fuzz
bin=$build/fuzz/bin

echo "== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target korvane_fuzz -j "$jobs"

rm -rf "$build/seeds"
"$bin/korvane-fuzz-seeds" "$build/seeds"
mkdir -p "$build/findings" "$build/logs"

# Largest input each target is given.
max_len() {
    case "$1" in
        update_file) echo 8192 ;;
        flows) echo 16384 ;;
        exchange) echo 2048 ;;
        *) echo 512 ;;
    esac
}

targets=${FUZZ_TARGETS:-}
if [ -z "$targets" ]; then
    for exe in "$bin"/fuzz_*; do
        targets+=" $(basename "$exe" | sed 's/^fuzz_//')"
    done
fi

summary=$build/summary.txt
printf '%-16s %12s %10s %8s  %s\n' target executions exec/s cov result >"$summary"
failed=0
for target in $targets; do
    exe=$bin/fuzz_$target
    if [ ! -x "$exe" ]; then
        echo "fuzz: no target $target" >&2
        failed=1
        continue
    fi
    corpus=$build/corpus/$target
    mkdir -p "$corpus" "$build/seeds/$target"
    dict=()
    if [ -f "fuzz/dict/$target.dict" ]; then dict=(-dict="fuzz/dict/$target.dict"); fi
    log=$build/logs/$target.log
    echo "== fuzz: $target for ${seconds}s"
    status=0
    "$exe" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
        -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
        "${dict[@]}" "$corpus" "$build/seeds/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | sed 's/cov: //')
    result=ok
    if [ "$status" -ne 0 ]; then
        result="FINDING (exit $status, see $log)"
        failed=1
        grep -E 'ERROR|property broken|SUMMARY|Test unit written' "$log" | head -8 >&2 || true
    fi
    printf '%-16s %12s %10s %8s  %s\n' "$target" "${runs:-?}" "${speed:-?}" "${cov:-?}" \
        "$result" | tee -a "$summary"
done

echo "== fuzz summary (${seconds}s per target)"
cat "$summary"
exit "$failed"
