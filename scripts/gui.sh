#!/usr/bin/env bash
# Opens the desktop window with an emulated adapter listening on 127.0.0.1 and a sample update
# file that fits it. Usage: scripts/gui.sh BUILD_DIR   (KORVANE_SIM_PORT picks the port; 35000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
. scripts/gui_common.sh

ui=$(find_tool korvane-updater)
sim=$(find_tool korvane-adapter-sim)
make_update=$(find_tool korvane-make-update)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "gui: no display to open the window on; 'make screenshots' shows it under Xvfb" >&2
    exit 1
fi

work="$build/gui"
mkdir -p "$work"
sample="$(realpath "$work")/sample-family2.hex"
write_sample_file "$sample"

trap stop_adapter EXIT
trap 'exit 1' INT TERM
start_adapter "${KORVANE_SIM_PORT:-35000}" "$work/adapter.log"

cat <<TEXT
Emulated adapter (model ZNB5413) listening on 127.0.0.1:$sim_port; its log: $work/adapter.log
In the window:
  1. Device Type: choose WIFI.
  2. IP Address: 127.0.0.1    IP Port: $sim_port
  3. Path: $sample   (or Browse... to it)
  4. Press Update. Read shows the adapter's versions.
Close the window to stop the adapter.
TEXT

"$ui"
