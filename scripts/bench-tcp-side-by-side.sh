#!/usr/bin/env bash
# The updater's TCP path against the least a host can do, side by side in one run.
#
#   scripts/bench-tcp-side-by-side.sh [BUILD_DIR] [ROUNDS]     (defaults build/release, 7)
#
# Each round runs (a) `korvane-fw update` of a 4,000-line family-2 file and (b)
# korvane-bench-client (one blocking socket, TCP_NODELAY, write a command, read until ">")
# sending the same commands, each against a fresh `korvane-adapter-sim --trace` over TCP
# loopback; the order alternates from round to round. BENCH_BASELINE_FW=PATH adds a third
# contender, another korvane-fw (an earlier build), to compare before and after under the same
# load.
#
# All are timed by the emulator's own command timestamps over the line phase: the "QXBL" lines up
# to the first "QXFL" (the updater sends the closing line once more after its fixed 200 ms wait;
# that is protocol, not transfer). Two figures per run: lines per second over the phase, which
# every moment the machine gave to other work counts against, and the median time from one line
# to the next, which shows the cost of one exchange when nothing else ran in between. The medians
# over the rounds and their ratios go to the screen and to BENCH_OUT/tcp_side_by_side.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
rounds=${2:-7}
bin=$build/bin
out=${BENCH_OUT:-build/bench}
baseline=${BENCH_BASELINE_FW:-}
mkdir -p "$out"
for tool in korvane-fw korvane-make-update korvane-adapter-sim korvane-bench-client; do
    if [ ! -x "$bin/$tool" ]; then
        echo "bench-tcp: $bin/$tool is missing; build first (make build)" >&2
        exit 1
    fi
done
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
    echo "bench-tcp: $baseline is not an executable" >&2
    exit 1
fi

work=$(mktemp -d)
# The benchmark's updates are kept in a history of their own, not in the user's.
export XDG_STATE_HOME=$work/state
source scripts/bench_common.sh

file=$work/update.hex
"$bin/korvane-make-update" --family 2 --product "Korvane OBD" --model ZNB5411 \
    --version V2.2.3X --payload-size $((3999 * 64)) -o "$file" >/dev/null

# The line phase of the trace ("  12.345 ms  #7  QXBL..."), one interval per line in µs.
line_intervals() {
    awk '$4 == "QXFL" { exit }
         $4 ~ /^QXBL/ { t = $1 + 0; if (n > 0) printf "%.1f\n", (t - prev) * 1000; prev = t; n++ }' \
        "$work/trace"
}

# Runs contender $1 (fw, client or baseline) once; sets rate (lines/s) and interval (µs).
run_one() {
    start_adapter "$work/trace" --trace
    case $1 in
        fw | baseline)
            local program=$bin/korvane-fw
            [ "$1" = baseline ] && program=$baseline
            "$program" update --tcp "$address" --file "$file" --progress=none >"$work/update.out" 2>&1 ||
                { echo "bench-tcp: $program update failed" >&2; cat "$work/update.out" >&2; exit 1; }
            ;;
        client)
            "$bin/korvane-bench-client" "$address" "$work/commands" ||
                { echo "bench-tcp: the minimal client failed" >&2; exit 1; }
            ;;
    esac
    stop_adapter
    if [ ! -f "$work/commands" ]; then
        sed -E -n 's/^ *[0-9.]+ ms  #[0-9]+  //p' "$work/trace" >"$work/commands"
    fi
    line_intervals >"$work/intervals"
    rate=$(awk '{ s += $1; n++ } END { if (n == 0 || s <= 0) print "n/a"; else printf "%.0f\n", n * 1e6 / s }' "$work/intervals")
    interval=$(median <"$work/intervals")
}

contenders=(fw client)
if [ -n "$baseline" ]; then contenders+=(baseline); fi
declare -A rates intervals
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for round in $(seq 1 "$rounds"); do
    # The first run of all is korvane-fw's: it records the commands the client replays.
    order=("${contenders[@]}")
    if [ $((round % 2)) -eq 0 ]; then
        order=()
        for ((i = ${#contenders[@]} - 1; i >= 0; i--)); do order+=("${contenders[$i]}"); done
    fi
    line="round $round:"
    for who in "${order[@]}"; do
        run_one "$who"
        rates[$who]="${rates[$who]:-} $rate"
        intervals[$who]="${intervals[$who]:-} $interval"
        line="$line $who $rate lines/s ($interval µs/line);"
    done
    echo "$line"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "n/a" || b == "n/a" || b == 0) print "n/a"; else printf "%.2f\n", a / b }'; }
{
    echo "rounds $rounds"
    echo "load_before $load_before"
    echo "load_after $load_after"
    for who in "${contenders[@]}"; do
        echo "${who}_lines_per_s $(printf '%s\n' ${rates[$who]} | median)"
        echo "${who}_us_per_line $(printf '%s\n' ${intervals[$who]} | median)"
    done
} >"$work/summary"
value() { sed -n "s/^$1 //p" "$work/summary"; }
fw_rate=$(value fw_lines_per_s)
client_rate=$(value client_lines_per_s)
fw_line=$(value fw_us_per_line)
client_line=$(value client_us_per_line)
{
    cat "$work/summary"
    echo "line_ratio $(ratio "$client_line" "$fw_line")"
    if [ -n "$baseline" ]; then
        echo "baseline_ratio $(ratio "$(value baseline_lines_per_s)" "$client_rate")"
        echo "baseline_line_ratio $(ratio "$client_line" "$(value baseline_us_per_line)")"
    fi
    echo "ratio $(ratio "$fw_rate" "$client_rate")"
} >"$out/tcp_side_by_side.txt"

echo "medians over $rounds rounds (load average before: $load_before; after: $load_after):"
for who in "${contenders[@]}"; do
    echo "  $who: $(value "${who}_lines_per_s") lines/s, $(value "${who}_us_per_line") µs per line"
done
if [ -n "$baseline" ]; then
    echo "baseline / minimal client: $(sed -n 's/^baseline_ratio //p' "$out/tcp_side_by_side.txt") (per line $(sed -n 's/^baseline_line_ratio //p' "$out/tcp_side_by_side.txt"))"
fi
echo "TCP ratio, korvane-fw / minimal client: $(sed -n 's/^ratio //p' "$out/tcp_side_by_side.txt") (per line $(sed -n 's/^line_ratio //p' "$out/tcp_side_by_side.txt"))"
