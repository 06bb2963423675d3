#!/usr/bin/env bash
# Opens the real window under Xvfb and saves pictures of it in build/screenshots/: at start, with
# the WIFI panel, and after a complete update against the emulated adapter over TCP.
# Usage: scripts/screenshots.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
. scripts/gui_common.sh

tour=$(find_tool korvane-ui-tour)
sim=$(find_tool korvane-adapter-sim)
make_update=$(find_tool korvane-make-update)
out=build/screenshots
work="$build/gui"
mkdir -p "$out" "$work"
sample="$(realpath "$work")/sample-family2.hex"
write_sample_file "$sample"

trap stop_adapter EXIT
trap 'exit 1' INT TERM
start_adapter 0 "$work/adapter.log"

# Qt wants a private runtime folder; Xvfb sessions started here often have none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$(realpath "$work")/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
xvfb-run -a -s "-screen 0 1280x1024x24" "$tour" "$out" 127.0.0.1 "$sim_port" "$sample"
ls -1 "$out"/*.png
