#!/usr/bin/env bash
# Builds and runs the test suite under each preset named (default: release, then asan).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(release asan); fi

jobs=$(nproc)
for preset in "${presets[@]}"; do
    echo "== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== ${preset}: tests"
    export QT_QPA_PLATFORM=offscreen
    ctest --preset "$preset" -j "$jobs"
done
