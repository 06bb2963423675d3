#!/usr/bin/env bash
# Writes a sample update file of each family with the project's own writer and checks both with
# korvane-fw, then shows how a damaged file is refused. Usage: scripts/demo.sh BUILD_DIR
set -euo pipefail

build=${1:-build/release}
bin="$build/bin"
out="$build/demo"
mkdir -p "$out"

for tool in korvane-make-update korvane-fw; do
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

run() {
    show "$@"
    "$@"
    echo
}

echo "== Sample update files"
run "$bin/korvane-make-update" --family 2 --product "Korvane FD" --model ZNB5412 \
    --version V2.2.3X --payload-size 65536 -o "$out/sample-family2.hex"
run "$bin/korvane-make-update" --family 1 --product "Korvane FS" --model "Korvane FS v1.0" \
    --payload-size 65536 --line-end lf -o "$out/sample-family1.hex"

echo "== Checking them"
run "$bin/korvane-fw" check "$out/sample-family2.hex"
run "$bin/korvane-fw" check "$out/sample-family1.hex"

echo "== A file with a wrong byte total is refused"
run "$bin/korvane-make-update" --family 2 --defect bad-byte-total -o "$out/damaged-family2.hex"
show "$bin/korvane-fw" check "$out/damaged-family2.hex"
status=0
"$bin/korvane-fw" check "$out/damaged-family2.hex" || status=$?
echo "(exit status $status)"
if [ "$status" -ne 1 ]; then
    echo "demo: the damaged file was not refused" >&2
    exit 1
fi
