#!/usr/bin/env bash
# The updater's TCP path against the least a host can do, side by side in one run.
#
#   scripts/bench-tcp-side-by-side.sh [BUILD_DIR] [ROUNDS]     (defaults build/release, 7)
#
# Each round runs, in alternating order, (a) `korvane-fw update` of a 4,000-line family-2 file and
# (b) korvane-bench-client (one blocking socket, TCP_NODELAY, write a command, read until ">")
# sending the same commands, each against a fresh `korvane-adapter-sim --trace` over TCP loopback.
# Both are timed by the emulator's own command timestamps over the line phase (first "QXBL" line
# to the last), so the same clock measures both. Prints one line per round, the medians and
# their ratio, and writes them to BENCH_OUT/tcp_side_by_side.txt (the last line:
# "ratio <korvane-fw median / client median>").
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
rounds=${2:-7}
bin=$build/bin
out=${BENCH_OUT:-build/bench}
mkdir -p "$out"
for tool in korvane-fw korvane-make-update korvane-adapter-sim korvane-bench-client; do
    if [ ! -x "$bin/$tool" ]; then
        echo "bench-tcp: $bin/$tool is missing; build first (make build)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
adapter_pid=""
cleanup() {
    if [ -n "$adapter_pid" ] && kill -0 "$adapter_pid" 2>/dev/null; then
        kill -INT "$adapter_pid" 2>/dev/null || true
        wait "$adapter_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

file=$work/update.hex
"$bin/korvane-make-update" --family 2 --product "Korvane OBD" --model ZNB5411 \
    --version V2.2.3X --payload-size $((3999 * 64)) -o "$file" >/dev/null

# Starts a fresh emulated adapter with --trace into $1; sets adapter_pid and address.
start_adapter() {
    "$bin/korvane-adapter-sim" --tcp 127.0.0.1:0 --model 2 --trace >"$work/adapter.out" 2>"$1" &
    adapter_pid=$!
    address=""
    for _ in $(seq 1 200); do
        address=$(sed -n 's/^tcp //p' "$work/adapter.out" | head -n 1)
        if [ -n "$address" ] || ! kill -0 "$adapter_pid" 2>/dev/null; then break; fi
        sleep 0.05
    done
    if [ -z "$address" ]; then
        echo "bench-tcp: the emulated adapter did not start" >&2
        exit 1
    fi
}

stop_adapter() {
    kill -INT "$adapter_pid"
    wait "$adapter_pid" || true
    adapter_pid=""
}

# Lines per second of the line phase in a trace ("  12.345 ms  #7  QXBL..."): the "QXBL" lines up
# to the first "QXFL". The updater sends the closing line once more after a fixed 200 ms wait
# (its closing recovery); that is protocol, not transfer, and the client only replays it.
line_rate() {
    awk '$4 == "QXFL" { exit } $4 ~ /^QXBL/ { t = $1 + 0; if (n == 0) first = t; last = t; n++ }
         END { if (n < 2 || last <= first) print "n/a"; else printf "%.0f\n", (n - 1) * 1000 / (last - first) }' "$1"
}

# The median time from one "QXBL" line to the next in a trace, in microseconds: the cost of one
# exchange when nothing else ran in between.
line_interval() {
    awk '$4 == "QXFL" { exit } $4 ~ /^QXBL/ { t = $1 + 0; if (n > 0) printf "%.1f\n", (t - prev) * 1000; prev = t; n++ }' "$1" |
        sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else print v[int((NR + 1) / 2)] }'
}

# The commands of a trace, one per line, for the minimal client.
commands_of() {
    sed -E -n 's/^ *[0-9.]+ ms  #[0-9]+  //p' "$1"
}

run_updater() {
    start_adapter "$work/trace.fw"
    "$bin/korvane-fw" update --tcp "$address" --file "$file" --progress=none >"$work/update.out" 2>&1 ||
        { echo "bench-tcp: korvane-fw update failed" >&2; cat "$work/update.out" >&2; exit 1; }
    stop_adapter
    if [ ! -f "$work/commands" ]; then
        commands_of "$work/trace.fw" >"$work/commands"
    fi
    rate=$(line_rate "$work/trace.fw")
    interval=$(line_interval "$work/trace.fw")
}

run_client() {
    start_adapter "$work/trace.client"
    "$bin/korvane-bench-client" "$address" "$work/commands" ||
        { echo "bench-tcp: the minimal client failed" >&2; exit 1; }
    stop_adapter
    rate=$(line_rate "$work/trace.client")
    interval=$(line_interval "$work/trace.client")
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
updater_rates=()
client_rates=()
updater_intervals=()
client_intervals=()
# The first updater run also records the commands the client replays, so it always comes first;
# after that the order alternates.
for round in $(seq 1 "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        run_updater; u=$rate; ui=$interval
        run_client; c=$rate; ci=$interval
    else
        run_client; c=$rate; ci=$interval
        run_updater; u=$rate; ui=$interval
    fi
    updater_rates+=("$u")
    client_rates+=("$c")
    updater_intervals+=("$ui")
    client_intervals+=("$ci")
    echo "round $round: korvane-fw $u lines/s (median line $ui µs), minimal client $c lines/s ($ci µs)"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
u_median=$(printf '%s\n' "${updater_rates[@]}" | median)
c_median=$(printf '%s\n' "${client_rates[@]}" | median)
ratio=$(awk -v u="$u_median" -v c="$c_median" 'BEGIN { printf "%.2f\n", u / c }')
ui_median=$(printf '%s\n' "${updater_intervals[@]}" | median)
ci_median=$(printf '%s\n' "${client_intervals[@]}" | median)
interval_ratio=$(awk -v u="$ui_median" -v c="$ci_median" 'BEGIN { printf "%.2f\n", c / u }')
{
    echo "rounds $rounds"
    echo "load_before $load_before"
    echo "load_after $load_after"
    echo "korvane_fw_median $u_median"
    echo "client_median $c_median"
    echo "korvane_fw_line_us $ui_median"
    echo "client_line_us $ci_median"
    echo "line_ratio $interval_ratio"
    echo "ratio $ratio"
} >"$out/tcp_side_by_side.txt"
echo "medians over $rounds rounds: korvane-fw $u_median lines/s, minimal client $c_median lines/s"
echo "median line: korvane-fw $ui_median µs, minimal client $ci_median µs (ratio $interval_ratio)"
echo "TCP ratio (korvane-fw / minimal client): $ratio   (load average before $load_before, after $load_after)"
