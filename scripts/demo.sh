#!/usr/bin/env bash
# A complete firmware update without hardware: starts the emulated adapter on a free TCP port of
# 127.0.0.1, writes a family-2 update file for it, runs `korvane-fw update` against it, and checks
# that the adapter ends up holding exactly the file's lines.
# Usage: scripts/demo.sh BUILD_DIR [OUT_DIR]  (programs in BUILD_DIR/bin, so /usr for the installed
# ones; files in OUT_DIR, by default BUILD_DIR/demo)
set -euo pipefail

build=${1:-build/release}
bin="$build/bin"
out="${2:-$build/demo}"
mkdir -p "$out"

for tool in korvane-make-update korvane-fw korvane-adapter-sim; do
    if [ ! -x "$bin/$tool" ]; then
        echo "demo: $bin/$tool is missing; build first (make build)" >&2
        exit 1
    fi
done

show() {
    printf '$'
    printf ' %q' "$@"
    echo
}

image="$out/adapter-image.txt"
rm -f "$image" "$out/adapter.out"
# The demo keeps its update history beside its other files, not in the user's own. The folder must
# be given absolute: a relative XDG_STATE_HOME is ignored, as the base-directory rules say.
export XDG_STATE_HOME="$(cd "$out" && pwd)/state"

echo "== Starting the emulated adapter (model ZNB5413, firmware 2.2.29) on 127.0.0.1"
show "$bin/korvane-adapter-sim" --tcp 127.0.0.1:0 --model 1 --image-out "$image"
"$bin/korvane-adapter-sim" --tcp 127.0.0.1:0 --model 1 --image-out "$image" \
    >"$out/adapter.out" 2>"$out/adapter.err" &
adapter_pid=$!
stop_adapter() {
    if kill -0 "$adapter_pid" 2>/dev/null; then
        kill -INT "$adapter_pid" 2>/dev/null || true
        wait "$adapter_pid" 2>/dev/null || true
    fi
}
trap stop_adapter EXIT

# The adapter prints "tcp ADDR:PORT" once it listens.
address=""
for _ in $(seq 1 50); do
    address=$(sed -n 's/^tcp //p' "$out/adapter.out" 2>/dev/null | head -n 1)
    if [ -n "$address" ] || ! kill -0 "$adapter_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$address" ]; then
    echo "demo: the emulated adapter did not start" >&2
    cat "$out/adapter.err" >&2
    exit 1
fi
echo "listening on $address"
echo

echo "== Writing a family-2 update file for it"
file="$out/demo-update.hex"
show "$bin/korvane-make-update" --family 2 --product "Korvane OBD" --model ZNB5413 \
    --version V2.2.3X --payload-size 32768 -o "$file" --commands
"$bin/korvane-make-update" --family 2 --product "Korvane OBD" --model ZNB5413 \
    --version V2.2.3X --payload-size 32768 -o "$file" --commands >"$out/demo-update.commands"
head -n 1 "$out/demo-update.commands"
echo

echo "== Updating the adapter"
show "$bin/korvane-fw" update --tcp "$address" --file "$file"
status=0
"$bin/korvane-fw" update --tcp "$address" --file "$file" || status=$?
echo "(exit status $status)"
echo
if [ "$status" -ne 0 ]; then
    echo "demo: the update failed" >&2
    exit 1
fi

echo "== Stopping the adapter and comparing what it holds with the file"
kill -INT "$adapter_pid"
adapter_status=0
wait "$adapter_pid" || adapter_status=$?
trap - EXIT
if [ "$adapter_status" -ne 0 ]; then
    echo "demo: the adapter did not complete the update (exit status $adapter_status)" >&2
    exit 1
fi
# The adapter's image holds every line it took, as sent after "QXBL"; the commands list is what
# the download sends for the file.
if ! tail -n +2 "$out/demo-update.commands" | sed 's/^QXBL//' | cmp -s - "$image"; then
    echo "demo: the adapter's image differs from the update file" >&2
    exit 1
fi
echo "The adapter holds all $(wc -l <"$image") lines of $file, byte for byte."
echo

echo "== The update history (kept in $XDG_STATE_HOME/korvane-updater)"
show "$bin/korvane-fw" history --limit 5
"$bin/korvane-fw" history --limit 5
