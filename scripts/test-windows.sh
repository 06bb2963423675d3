#!/usr/bin/env bash
# The Windows build, checked without Windows: cross-builds the engine, channels, CLI, the Win32
# window (korvane-updater.exe) and their tests with mingw-w64, runs the tests under wine (windows
# on wine's null graphics driver: no X server needed), then updates the Linux-native emulated
# adapter with korvane-fw.exe and with the window over TCP loopback and over ptys mapped to COM
# ports (family 1 with its switch to 2 Mbps, family 2), and checks that the adapter ends up
# holding the file.
#
# Everything wine writes stays in build/windows/wineprefix; logs go to build/windows/test-logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
started=$(date +%s)

phase() {
    echo
    echo "== $* ($(($(date +%s) - started)) s)"
}

phase "Packages"
scripts/install-deps.sh
scripts/install-windows-deps.sh

phase "Cross build (preset windows)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

phase "Linux-native tools: emulated adapter, update-file writer, null-modem pair"
host=build/windows-host
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_UI=OFF \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target korvane-adapter-sim korvane-make-update korvane-null-modem
hostbin=$root/$host/bin

export WINEPREFIX=$root/build/windows/wineprefix
. scripts/wine_prefix.sh
logs=$root/build/windows/test-logs
rm -rf "$logs"
mkdir -p "$logs" "$WINEPREFIX"

helper_pids=()
com_links=()
cleanup() {
    # The wine server first: it holds the ptys as its controlling terminal, and closing them under
    # it makes it dump its state.
    stop_wine_server
    for pid in "${helper_pids[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then
            kill -INT "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    for link in "${com_links[@]}"; do
        rm -f "$link"
    done
}
trap cleanup EXIT

# Waits for a helper to print a line matching `pattern` on its standard output (file `out`), and
# prints what follows the pattern.
await_line() {
    local out=$1 pattern=$2 pid=$3 value=""
    for _ in $(seq 1 100); do
        value=$(sed -n "s/^$pattern//p" "$out" 2>/dev/null | head -n 1)
        if [ -n "$value" ] || ! kill -0 "$pid" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    echo "$value"
}

# dosdevices/comN -> the pty, so that COMN opens it.
map_com_port() {
    local number=$1 pty=$2
    local link="$WINEPREFIX/dosdevices/com$number"
    ln -sfn "$pty" "$link"
    com_links+=("$link")
}

phase "Wine prefix and server"
# A persistent server, so that each test program starts in a fraction of a second; its own output
# goes to a log. A server left running in this prefix by an earlier run goes first. Windows use the
# null graphics driver, so no display is needed (and none is used if one is set).
unset DISPLAY
prepare_wine_prefix null "$logs/wine-prefix.log"

phase "Tests under wine"
"$hostbin/korvane-null-modem" >"$logs/null-modem.out" 2>"$logs/null-modem.err" &
helper_pids+=($!)
pair=$(await_line "$logs/null-modem.out" "" "$!")
read -r pty_a pty_b <<<"$pair"
if [ -z "${pty_b:-}" ]; then
    echo "test-windows: the null-modem pair did not start" >&2
    cat "$logs/null-modem.err" >&2
    exit 1
fi
map_com_port 21 "$pty_a"
map_com_port 22 "$pty_b"
# One wine process per test program, all its cases in it (not one per case: every start of a wine
# process can fail on its own, and such a failure is no test result). A program that ends before
# the test framework printed anything did not start: it is started once more. A program that ran
# and failed fails the run. The window's end-to-end program runs further down, with its adapters.
test_failures=0
wine_retries=0
for program in $(find build/windows/tests -name '*_tests.exe' ! -name 'windows_window_e2e_tests.exe' |
    sort); do
    name=$(basename "$program" .exe)
    for attempt in 1 2; do
        status=0
        KORVANE_TEST_COM_PAIR=COM21,COM22 timeout 1200 wine "$program" --gtest_color=no \
            >"$logs/$name.log" 2>&1 </dev/null || status=$?
        if grep -q '^\[==========\] Running' "$logs/$name.log"; then
            break
        fi
        echo "$name: wine did not start it (exit status $status, attempt $attempt)"
        wine_retries=$((wine_retries + 1))
        if [ "$status" -eq 0 ]; then
            status=1
        fi
    done
    summary=$(grep -E '^\[  (PASSED|FAILED)  \]' "$logs/$name.log" | tr '\n' ' ')
    echo "$name: exit status $status; $summary"
    if [ "$status" -ne 0 ]; then
        grep -E '^\[  FAILED  \]' "$logs/$name.log" >&2 || tail -n 20 "$logs/$name.log" >&2
        test_failures=$((test_failures + 1))
    fi
done
echo "test programs: $test_failures failed; wine starts tried again: $wine_retries"
[ "$test_failures" -eq 0 ] || exit 1
# The tests that are no test program's cases (korvane-fw.exe's usage and help, the completion).
ctest --preset windows -j "$jobs" -R '^korvane_fw_'

phase "End to end: korvane-fw.exe against the emulated adapter"
e2e=$root/build/windows/e2e
rm -rf "$e2e"
mkdir -p "$e2e"
cp build/windows/bin/korvane-fw.exe "$e2e/"
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# Starts the emulated adapter with the given options; sets adapter_pid and adapter_address.
start_adapter() {
    local name=$1
    shift
    "$hostbin/korvane-adapter-sim" "$@" --trace --image-out "$e2e/$name.image" \
        >"$e2e/$name.adapter.out" 2>"$e2e/$name.adapter.err" &
    adapter_pid=$!
    helper_pids+=("$adapter_pid")
    adapter_address=$(await_line "$e2e/$name.adapter.out" "\(tcp\|pty\) " "$adapter_pid")
    if [ -z "$adapter_address" ]; then
        echo "test-windows: the emulated adapter did not start" >&2
        cat "$e2e/$name.adapter.err" >&2
        exit 1
    fi
}

# Stops the adapter; true when it reports its last update completed.
stop_adapter() {
    local status=0
    kill -INT "$adapter_pid" 2>/dev/null || true
    wait "$adapter_pid" || status=$?
    return "$status"
}

# Runs korvane-fw.exe under wine in the e2e folder (relative paths, so no path translation).
run_fw() {
    local name=$1
    shift
    local status=0
    (cd "$e2e" && timeout 600 wine korvane-fw.exe "$@" --progress plain) >"$e2e/$name.fw.out" \
        2>"$e2e/$name.fw.err" || status=$?
    echo "korvane-fw.exe $* -> exit status $status"
    return "$status"
}

# The adapter's image must hold the file's download commands, each without its command word.
check_image() {
    local name=$1 word=$2
    grep "^$word" "$e2e/$name.commands" | sed "s/^$word//; s/\r\$//" >"$e2e/$name.expected"
    if [ ! -s "$e2e/$name.expected" ]; then
        fail "$name: no $word commands in the file's command list"
    elif cmp -s "$e2e/$name.expected" "$e2e/$name.image"; then
        echo "$name: the adapter holds all $(wc -l <"$e2e/$name.image") entries of the file"
    else
        fail "$name: the adapter's image differs from the file"
    fi
}

expect_output() {
    local name=$1 text=$2
    if ! grep -qF -- "$text" "$e2e/$name.fw.out"; then
        fail "$name: \"$text\" missing from the output of korvane-fw.exe"
    fi
}

make_file() {
    local name=$1
    shift
    "$hostbin/korvane-make-update" "$@" -o "$e2e/$name.hex" --commands >"$e2e/$name.commands"
}

# Family 2 over TCP: the line download.
make_file tcp-family2 --family 2 --product "Korvane OBD" --model ZNB5413 --version V2.2.3X \
    --payload-size 32768
start_adapter tcp-family2 --tcp 127.0.0.1:0 --model 1 --firmware-version-after 2.2.3X
run_fw tcp-family2 update --tcp "$adapter_address" --file tcp-family2.hex ||
    fail "tcp-family2: update failed"
expect_output tcp-family2 "File download finished!"
run_fw tcp-read read --tcp "$adapter_address" || fail "tcp-read: read failed"
expect_output tcp-read "2.2.3X"
stop_adapter || fail "tcp-family2: the adapter did not complete the update"
check_image tcp-family2 QXBL

# Family 1 over a COM port: the block download, with the switch to 2 Mbps and back.
make_file com-family1 --family 1 --model "Korvane FS v1" --payload-size 16384
start_adapter com-family1 --pty --model 5 --firmware-version-after 1.1.0 --wire-time
# The emulator sets its pty's rate in a form wine cannot read back; give it the classic one.
stty -F "$adapter_address" 115200
map_com_port 23 "$adapter_address"
run_fw com-family1 update --serial COM23 --file com-family1.hex || fail "com-family1: update failed"
expect_output com-family1 "Change the baud rate to 2Mbps!"
expect_output com-family1 "File download finished!"
run_fw com-read read --serial COM23 || fail "com-read: read failed"
expect_output com-read "V1.1.0"
stop_wine_server
stop_adapter || fail "com-family1: the adapter did not complete the update"
grep -q "QX DLBD 02" "$e2e/com-family1.adapter.err" ||
    fail "com-family1: the adapter was never asked for 2 Mbps"
check_image com-family1 QXDLDT

# Family 2 over a COM port.
start_wine_server "$logs/wineserver.log"
make_file com-family2 --family 2 --product "Korvane OBD" --model ZNB5413 --version V2.2.3X \
    --payload-size 16384
start_adapter com-family2 --pty --model 1 --wire-time
stty -F "$adapter_address" 115200
map_com_port 24 "$adapter_address"
run_fw com-family2 update --serial COM24 --file com-family2.hex || fail "com-family2: update failed"
expect_output com-family2 "File download finished!"
stop_wine_server
stop_adapter || fail "com-family2: the adapter did not complete the update"
check_image com-family2 QXBL

phase "End to end: the window (korvane-updater's Win32 view) against the emulated adapter"
# The window's own tests drive it by messages: a family-2 update and a read over TCP from the WIFI
# panel, and a family-1 update over a pty mapped to COM25 from the USB panel, each from a file
# whose name is not ASCII.
start_wine_server "$logs/wineserver.log"
cp build/windows/tests/windows/windows_window_e2e_tests.exe "$e2e/"
make_file window-tcp --family 2 --product "Korvane OBD" --model ZNB5413 --version V2.2.3X \
    --payload-size 16384
start_adapter window-tcp --tcp 127.0.0.1:0 --model 1 --firmware-version-after 2.2.3X
tcp_pid=$adapter_pid
tcp_address=$adapter_address
make_file window-com --family 1 --model "Korvane FS v1" --payload-size 8192
start_adapter window-com --pty --model 5 --firmware-version-after 1.1.0
stty -F "$adapter_address" 115200
map_com_port 25 "$adapter_address"
window_status=0
(cd "$e2e" && KORVANE_E2E_TCP="$tcp_address" KORVANE_E2E_TCP_FILE="$(winepath -w "$e2e/window-tcp.hex")" \
    KORVANE_E2E_COM=COM25 KORVANE_E2E_COM_FILE="$(winepath -w "$e2e/window-com.hex")" \
    timeout 600 wine windows_window_e2e_tests.exe) >"$e2e/window.out" 2>&1 </dev/null ||
    window_status=$?
echo "windows_window_e2e_tests.exe -> exit status $window_status"
[ "$window_status" -eq 0 ] || { cat "$e2e/window.out" >&2; fail "window: its end-to-end tests failed"; }
stop_wine_server
stop_adapter || fail "window-com: the adapter did not complete the update"
check_image window-com QXDLDT
adapter_pid=$tcp_pid
stop_adapter || fail "window-tcp: the adapter did not complete the update"
check_image window-tcp QXBL

phase "Done"
if [ "$failures" -ne 0 ]; then
    echo "test-windows: $failures end-to-end check(s) failed; see $e2e" >&2
    exit 1
fi
echo "test-windows: all tests and end-to-end updates passed in $(($(date +%s) - started)) s"
