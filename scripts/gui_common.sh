# Shared by gui.sh and screenshots.sh: finds the programs, writes a sample update file and starts
# the emulated adapter on 127.0.0.1. Source it after setting `build`.

# find_tool NAME: the path of a built program, or a message and failure.
find_tool() {
    local dir
    for dir in "$build/bin" "$build/sim/adapter" "$build/ui/qt"; do
        if [ -x "$dir/$1" ]; then
            echo "$dir/$1"
            return 0
        fi
    done
    echo "$1 is missing in $build; build first (make build)" >&2
    return 1
}

# Model and file that fit each other: a family-2 adapter of model 1 (ZNB5413) and a file for it.
SIM_MODEL=1
write_sample_file() {
    "$make_update" --family 2 --product "Korvane OBD" --model ZNB5413 --version V2.2.3X \
        --payload-size 65536 -o "$1" >/dev/null
}

# start_adapter PORT LOG: starts the emulated adapter on 127.0.0.1:PORT (0: any free port); sets
# sim_pid and sim_port. Its first output line names the address it listens on.
start_adapter() {
    exec 3< <(exec "$sim" --tcp "127.0.0.1:$1" --model "$SIM_MODEL" 2>"$2")
    sim_pid=$!
    local line=""
    if ! read -r -t 10 -u 3 line || [[ "$line" != tcp\ * ]]; then
        echo "the emulated adapter did not start (see $2)" >&2
        return 1
    fi
    sim_port=${line##*:}
}

stop_adapter() {
    if [ -n "${sim_pid:-}" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
    exec 3<&- 2>/dev/null || true
}
