# Shared by scripts/bench.sh and scripts/bench-tcp-side-by-side.sh (sourced, not run). The caller
# sets $bin (the folder of korvane-adapter-sim) and $work (its scratch folder, removed at exit).

adapter_pid=""

bench_cleanup() {
    if [ -n "$adapter_pid" ] && kill -0 "$adapter_pid" 2>/dev/null; then
        kill -INT "$adapter_pid" 2>/dev/null || true
        wait "$adapter_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap bench_cleanup EXIT

# start_adapter STDERR_FILE [OPTION...]: a fresh emulated family-2 adapter on TCP loopback, its
# standard error into STDERR_FILE; sets adapter_pid and address (IP:PORT).
start_adapter() {
    local stderr_file=$1
    shift
    "$bin/korvane-adapter-sim" --tcp 127.0.0.1:0 --model 2 "$@" >"$work/adapter.out" \
        2>"$stderr_file" &
    adapter_pid=$!
    address=""
    for _ in $(seq 1 200); do
        address=$(sed -n 's/^tcp //p' "$work/adapter.out" | head -n 1)
        if [ -n "$address" ] || ! kill -0 "$adapter_pid" 2>/dev/null; then break; fi
        sleep 0.05
    done
    if [ -z "$address" ]; then
        echo "bench: the emulated adapter did not start" >&2
        cat "$work/adapter.out" "$stderr_file" >&2
        exit 1
    fi
}

stop_adapter() {
    kill -INT "$adapter_pid"
    wait "$adapter_pid" || true
    adapter_pid=""
}

# The median of the numbers on standard input, one per line; "n/a" for none.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else print v[int((NR + 1) / 2)] }'; }
