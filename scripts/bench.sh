#!/usr/bin/env bash
# Runs every benchmark of a release build and writes the performance record.
#
#   scripts/bench.sh [BUILD_DIR]        (default build/release; `make bench` builds it first)
#
# 1. The Google Benchmarks in BUILD_DIR/bench/*/ (update-file check, command exchange, channels,
#    emulated adapter, whole updates), each with its console output and a JSON file in
#    build/bench/ (BENCH_OUT to put them elsewhere).
# 2. The updater as the user runs it: `korvane-fw update` of a 4,000-line family-2 file against
#    the emulated adapter (korvane-adapter-sim, another process) over TCP loopback, under
#    /usr/bin/time, BENCH_UPDATES times (default 3): wall time, CPU seconds and peak memory of
#    the updater's process alone.
# 3. The TCP path side by side with a minimal blocking client (scripts/bench-tcp-side-by-side.sh,
#    BENCH_ROUNDS rounds, default 7, alternating).
# 4. build/bench/results.md: the table the README quotes, with the date, the machine and how
#    loaded it was; the ratios the targets are stated in are printed last.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
bin=$build/bin
out=${BENCH_OUT:-build/bench}
updates=${BENCH_UPDATES:-3}
mkdir -p "$out"

for tool in korvane-fw korvane-make-update korvane-adapter-sim korvane-bench-client; do
    if [ ! -x "$bin/$tool" ]; then
        echo "bench: $bin/$tool is missing; build first (make build)" >&2
        exit 1
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "bench: /usr/bin/time is missing (Debian package 'time'; make deps installs it)" >&2
    exit 1
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# 1. Google Benchmarks.
benchmarks=()
for exe in "$build"/bench/*/*; do
    if [ -f "$exe" ] && [ -x "$exe" ]; then benchmarks+=("$exe"); fi
done
if [ ${#benchmarks[@]} -eq 0 ]; then
    echo "bench: no benchmarks in $build/bench (is Google Benchmark installed?)" >&2
    exit 1
fi
for exe in "${benchmarks[@]}"; do
    name=$(basename "$exe")
    echo "== $name"
    "$exe" --benchmark_out="$out/$name.json" --benchmark_out_format=json
done

# The value of `field` in the JSON entry of benchmark `name` (first match), or "n/a".
json_field() {
    local file=$1 name=$2 field=$3
    [ -f "$file" ] || { echo n/a; return; }
    awk -v name="$name" -v field="$field" '
        /"name":/ { current = $0; sub(/.*"name": *"/, "", current); sub(/".*/, "", current) }
        index(current, name) == 1 && $0 ~ "\"" field "\":" {
            value = $0; sub(/.*: */, "", value); sub(/,$/, "", value); gsub(/"/, "", value)
            print value; found = 1; exit
        }
        END { if (!found) print "n/a" }' "$file"
}

# 2. One update as the user runs it, measured from outside.
echo "== korvane-fw update: ${updates} updates of a 4,000-line family-2 file over TCP"
work=$(mktemp -d)
source scripts/bench_common.sh
# The updates are recorded as a user's are, in a history of their own.
export XDG_STATE_HOME=$work/state

file=$work/bench-update.hex
"$bin/korvane-make-update" --family 2 --product "Korvane OBD" --model ZNB5411 \
    --version V2.2.3X --payload-size $((3999 * 64)) -o "$file"
lines=$(grep -c '' "$file")
runs=()
for i in $(seq 1 "$updates"); do
    start_adapter "$work/adapter.err"
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.$i" \
        "$bin/korvane-fw" update --tcp "$address" --file "$file" --progress=none >"$work/update.$i" 2>&1 ||
        { echo "bench: update $i failed" >&2; cat "$work/update.$i" >&2; exit 1; }
    stop_adapter
    runs+=("$(tail -n 1 "$work/time.$i")")
    echo "update $i: $(tail -n 1 "$work/time.$i" | awk '{printf "%.2f s wall, %.2f s CPU, %d KiB peak", $1, $2 + $3, $4}')"
done
# Medians over the runs.
wall=$(printf '%s\n' "${runs[@]}" | awk '{print $1}' | median)
cpu=$(printf '%s\n' "${runs[@]}" | awk '{printf "%.3f\n", $2 + $3}' | median)
peak=$(printf '%s\n' "${runs[@]}" | awk '{print $4}' | median)

# 3. Side by side with the minimal client.
echo "== TCP path side by side with a minimal blocking client"
BENCH_OUT=$out scripts/bench-tcp-side-by-side.sh "$build" "${BENCH_ROUNDS:-7}"
side=$out/tcp_side_by_side.txt
side_value() { sed -n "s/^$1 //p" "$side" 2>/dev/null | head -n 1; }
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# 4. The record.
e2e=$out/bench_e2e.json
tcp_lines=$(json_field "$e2e" Family2TcpLoopback units_per_s)
ratio_115200=$(json_field "$e2e" Family2PtyWireTime115200 ratio_to_link_bound)
median_115200=$(json_field "$e2e" Family2PtyWireTime115200 median_exchange_ratio)
ratio_2m=$(json_field "$e2e" Family1PtyWireTime2Mbps ratio_to_link_bound)
median_2m=$(json_field "$e2e" Family1PtyWireTime2Mbps median_exchange_ratio)
check_ms=$(json_field "$out/bench_update_file.json" BM_CheckUpdateFile_Family2_1MiB real_time)
exchange_ns=$(json_field "$out/exchange_bench.json" BM_LineCommandWithEcho real_time)
tcp_rtt_us=$(json_field "$out/channel_bench.json" BM_TcpRoundTripChannel real_time)
find_tray_s=$(json_field "$out/bench_discovery.json" BM_DiscoveryTray wall_s)
find_worst_s=$(json_field "$out/bench_discovery.json" BM_DiscoveryTray worst_s)
find_first_ms=$(json_field "$out/bench_discovery.json" BM_DiscoveryFirstRate real_time)
record_ms=$(json_field "$out/bench_history.json" BM_RecordOneUpdate_1MiB real_time)
sha_ms=$(json_field "$out/bench_history.json" BM_Sha256_1MiB real_time)
history_read_ms=$(json_field "$out/bench_history.json" BM_ReadTenThousandRecords real_time)

num() { awk -v v="$1" -v f="$2" 'BEGIN { if (v == "n/a" || v == "") print "n/a"; else printf f, v }'; }
# The share of the wire's own speed: the lower bound divided by the time taken.
efficiency() { awk -v v="$1" 'BEGIN { if (v == "n/a" || v == "" || v <= 0) print "n/a"; else printf "%.3f", 1 / v }'; }
eff_2m=$(efficiency "$ratio_2m")
eff_115200=$(efficiency "$ratio_115200")
cpu_name=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
{
    echo "# Performance record"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores of ${cpu_name:-unknown CPU}, $(uname -sr)," \
        "$(g++ --version | head -n 1), release build (RelWithDebInfo)."
    echo
    echo "Load average (1, 5, 15 min) before: $load_before; after: $load_after."
    echo
    echo "Side by side in this run (alternating rounds, medians; a ratio of 1.00 is as fast as the"
    echo "yardstick):"
    echo
    echo "| Measure | Ratio |"
    echo "|---|---|"
    echo "| Family-2 line phase over TCP loopback, korvane-fw / minimal blocking client, lines per second | $(side_value ratio) |"
    echo "| The same, median time per line (client / korvane-fw) | $(side_value line_ratio) |"
    echo "| Family 1 over a pty at 2 Mbps, share of the wire's speed (lower bound / transfer time) | $eff_2m |"
    echo "| Family 2 over a pty at 115200 baud, share of the wire's speed | $eff_115200 |"
    echo
    echo "Absolute figures (this machine, this load):"
    echo
    echo "| Measure | Value |"
    echo "|---|---|"
    echo "| Family-2 line phase over TCP loopback: korvane-fw / minimal client, lines per second (median of $(side_value rounds)) | $(side_value fw_lines_per_s) / $(side_value client_lines_per_s) |"
    echo "| The same, median µs per line | $(side_value fw_us_per_line) / $(side_value client_us_per_line) |"
    echo "| Family-2 lines per second over TCP loopback, in-process (4,000-line file, emulated adapter) | $(num "$tcp_lines" '%.0f') |"
    echo "| Transfer time / wire lower bound, family 2 over a pty at 115200 baud (median exchange) | $(num "$ratio_115200" '%.3f') ($(num "$median_115200" '%.3f')) |"
    echo "| Transfer time / wire lower bound, family 1 over a pty at 2 Mbps (median exchange) | $(num "$ratio_2m" '%.3f') ($(num "$median_2m" '%.3f')) |"
    echo "| CPU seconds per update (korvane-fw, ${lines}-line family-2 file over TCP; median of ${updates}) | $(num "$cpu" '%.2f') s ($(num "$wall" '%.2f') s wall) |"
    echo "| Peak memory of that update (maximum resident set) | $(num "$peak" '%d') KiB |"
    echo "| Update-file check of a 1 MiB family-2 file | $(num "$check_ms" '%.2f') ms |"
    echo "| One line exchange with echo (scripted channel, no I/O) | $(num "$exchange_ns" '%.0f') ns |"
    echo "| Command round trip through the TCP channel (loopback) | $(num "$tcp_rtt_us" '%.1f') µs |"
    echo "| Adapter search, 8 ptys (3 adapters at random rates among the 13, 5 decoys), all found right: mean (worst) wall time | $(num "$find_tray_s" '%.2f') s ($(num "$find_worst_s" '%.2f') s) |"
    echo "| Adapter search, one adapter at the first rate tried | $(num "$find_first_ms" '%.0f') ms |"
    echo "| Update history: recording one update (SHA-256 of a 1 MiB file, start and end lines flushed to disk; target at most 5 ms) | $(num "$record_ms" '%.2f') ms |"
    echo "| The SHA-256 of 1 MiB alone (libcrypto) | $(num "$sha_ms" '%.2f') ms |"
    echo "| Update history: reading 10,000 records into the table (target at most 200 ms) | $(num "$history_read_ms" '%.1f') ms |"
    echo
    echo "Ratios to the wire: the time from the first line or record to the last, divided by the"
    echo "least time the bytes that crossed need at 10 bits per byte (emulator's wire-time model);"
    echo "1.00 is the wire itself. The fixed protocol waits (200 ms before the closing recovery,"
    echo "2000 ms after a block download) are not part of the transfer. Lines per second count"
    echo "every moment the machine gave to other work against the program measured; the median"
    echo "time per line does not."
} >"$out/results.md"
echo
cat "$out/results.md"
echo
echo "TCP ratio (korvane-fw / minimal client): $(side_value ratio) (per line $(side_value line_ratio));" \
    "family 1 at 2 Mbps: $eff_2m of the wire; family 2 at 115200: $eff_115200 of the wire" \
    "(load average $load_before before, $load_after after)"
