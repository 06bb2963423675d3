#!/usr/bin/env bash
# The long fault soak: SOAK_RUNS (default 1000) whole updates against the emulated adapter over
# TCP and a pty with random, seeded faults, SOAK_JOBS (default 4) at a time, seeds from
# SOAK_SEED (default 1). Further arguments go to korvane-soak (for example --faults late,flood
# or --link pty). The figures are printed and kept in BUILD_DIR/soak/.
#
#   scripts/soak.sh [BUILD_DIR] [korvane-soak options]    (`make soak` builds first)
#   korvane-soak --seed S --runs 1 --trace                 (repeat one run, with its traffic)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
shift || true
soak=$build/bin/korvane-soak
if [ ! -x "$soak" ]; then
    echo "soak: $soak is missing; build first (make build)" >&2
    exit 1
fi
runs=${SOAK_RUNS:-1000}
seed=${SOAK_SEED:-1}
jobs=${SOAK_JOBS:-4}
mkdir -p "$build/soak"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$build/soak/soak-seed$seed-runs$runs.txt
status=0
"$soak" --runs "$runs" --seed "$seed" --jobs "$jobs" --work-dir "$work" "$@" | tee "$log" ||
    status=${PIPESTATUS[0]}
echo "(figures kept in $log)"
exit "$status"
