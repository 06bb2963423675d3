#!/usr/bin/env bash
# Pictures of the Win32 window (korvane-updater's view) under wine in Xvfb, at the same four
# moments as the Qt tour: at start, the About box, the WIFI panel, and after a complete update
# against the emulated adapter over TCP. They go to build/windows/screenshots/.
# Needs the cross build (build/windows) and the Linux-native tools (build/windows-host), which
# `make test-windows` builds; this script builds what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}

scripts/install-deps.sh
scripts/install-windows-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target korvane-ui-tour
host=build/windows-host
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_UI=OFF \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target korvane-adapter-sim korvane-make-update

build=$host
. scripts/gui_common.sh
sim=$(find_tool korvane-adapter-sim)
make_update=$(find_tool korvane-make-update)
out=$root/build/windows/screenshots
work=$root/build/windows/screenshot-work
rm -rf "$out"
mkdir -p "$out" "$work"
sample=$work/sample-family2.hex
write_sample_file "$sample"

export WINEPREFIX=$root/build/windows/wineprefix
. scripts/wine_prefix.sh

finish() {
    stop_wine_server
    stop_adapter
}
trap finish EXIT
trap 'exit 1' INT TERM
start_adapter 0 "$work/adapter.log"

# The tour runs inside Xvfb, with wine's X11 driver (the tests use the null one).
cat >"$work/tour.sh" <<TOUR
set -e
. "$root/scripts/wine_prefix.sh"
prepare_wine_prefix x11 "$work/wine.log"
cp "$root/build/windows/bin/korvane-ui-tour.exe" "$work/"
cd "$work"
status=0
wine korvane-ui-tour.exe "\$(winepath -w "$out")" 127.0.0.1 "$sim_port" \
    "\$(winepath -w "$sample")" </dev/null || status=\$?
stop_wine_server
exit \$status
TOUR
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/tour.sh"
# The graphics driver back to the one the tests use.
prepare_wine_prefix null "$work/wine.log"
ls -1 "$out"/*.png
