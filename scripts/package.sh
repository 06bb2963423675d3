#!/usr/bin/env bash
# Builds the release packages and collects them in build/packages:
#   linux    korvane-updater_VERSION_amd64.deb and korvane-adapter-sim_VERSION_amd64.deb
#            (preset package, with Debian's own build flags from dpkg-buildflags)
#   windows  KorvaneFwUpdater-VERSION-win64.zip and KorvaneFwUpdater-VERSION-win64.exe, a 64-bit
#            NSIS installer (preset windows-package, mingw-w64 and makensis)
# Usage: scripts/package.sh [linux|windows|all]   (default all); JOBS=N sets the parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
what=${1:-all}
out=build/packages

case "$what" in
    linux | windows | all) ;;
    *)
        echo "usage: scripts/package.sh [linux|windows|all]" >&2
        exit 2
        ;;
esac

scripts/install-deps.sh
mkdir -p "$out"

if [ "$what" != windows ]; then
    echo "== Linux packages"
    # Debian's hardening and reproducibility flags, all of them (with immediate binding).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    ldflags="$(dpkg-buildflags --get LDFLAGS)"
    cmake --preset package -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
        >/dev/null
    cmake --build --preset package -j "$jobs"
    rm -rf build/package/packages "$out"/*.deb
    cpack --config build/package/CPackConfig.cmake -B build/package/packages
    cp build/package/packages/*.deb "$out"/
fi

if [ "$what" != linux ]; then
    echo "== Windows packages"
    scripts/install-windows-deps.sh
    cmake --preset windows-package >/dev/null
    cmake --build --preset windows-package -j "$jobs"
    rm -rf build/windows-package/packages "$out"/*.zip "$out"/*.exe
    cpack --config build/windows-package/CPackConfig.cmake -B build/windows-package/packages
    cp build/windows-package/packages/*.zip build/windows-package/packages/*.exe "$out"/
fi

echo "== Packages in $out"
ls -l "$out"
