#!/usr/bin/env bash
# Installs what the Windows cross build and its test run need: the mingw-w64 cross compiler for
# x86_64 with the posix thread model (std::thread), the 64-bit wine to run its programs, the
# fonts wine draws windows with (fonts-wine: Tahoma, Marlett) and makensis for the installer.
# Does nothing when all are there. Only `make test-windows`, `make package` and
# `make package-check` need these.
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev
    wine
    wine64
    fonts-wine
    nsis
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
