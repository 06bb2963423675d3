#!/usr/bin/env bash
# Builds the release packages (scripts/package.sh) and checks them as a user meets them:
#   .deb      lintian finds no error; the files are there; `apt-get install ./file.deb` works;
#             korvane-fw and korvane-updater run from /usr/bin (the window under Xvfb, started the
#             way the menu starts it); an update of the emulated adapter from the second package;
#             `apt-get purge` leaves none of the packages' files behind.
#   Windows   the ZIP holds the programs and korvane-fw.exe from it runs; the NSIS installer
#             installs silently (/S) under wine into a prefix of its own, the programs run, and
#             its uninstaller leaves no file, Start-menu entry or registry key behind.
# Installing the .deb needs root (or sudo). Logs and scratch files stay in build/package-check.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)
work=$root/build/package-check
packages=$root/build/packages

phase() {
    echo
    echo "== $* ($(($(date +%s) - started)) s)"
}
fail() {
    echo "package-check: $*" >&2
    exit 1
}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

phase "Building the packages"
scripts/package.sh all
rm -rf "$work"
mkdir -p "$work"

version=$(sed -n 's/^project(KorvaneFwUpdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
updater_deb=$packages/korvane-updater_${version}_amd64.deb
sim_deb=$packages/korvane-adapter-sim_${version}_amd64.deb
win_zip=$packages/KorvaneFwUpdater-${version}-win64.zip
win_installer=$packages/KorvaneFwUpdater-${version}-win64.exe
for f in "$updater_deb" "$sim_deb" "$win_zip" "$win_installer"; do
    [ -f "$f" ] || fail "missing $f"
done
ls -l "$packages"

# ---------------------------------------------------------------------------------------------
phase "lintian"
# Errors fail the check; warnings and notes are printed for the reader.
lintian --fail-on error --display-info "$updater_deb" "$sim_deb" | tee "$work/lintian.txt"
echo "lintian: $(grep -c '^E: ' "$work/lintian.txt" || true) errors," \
    "$(grep -c '^W: ' "$work/lintian.txt" || true) warnings"

phase "Contents of the .deb files"
dpkg-deb -c "$updater_deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/updater-files.txt"
dpkg-deb -c "$sim_deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/sim-files.txt"
updater_expected=(
    /usr/bin/korvane-updater
    /usr/bin/korvane-fw
    /usr/share/applications/korvane-updater.desktop
    /usr/share/icons/hicolor/16x16/apps/korvane-updater.png
    /usr/share/icons/hicolor/32x32/apps/korvane-updater.png
    /usr/share/icons/hicolor/48x48/apps/korvane-updater.png
    /usr/share/icons/hicolor/256x256/apps/korvane-updater.png
    /usr/share/man/man1/korvane-updater.1.gz
    /usr/share/man/man1/korvane-fw.1.gz
    /usr/share/bash-completion/completions/korvane-fw
    /usr/lib/udev/rules.d/70-korvane-updater.rules
    /usr/share/doc/korvane-updater/copyright
    /usr/share/doc/korvane-updater/changelog.gz
)
sim_expected=(
    /usr/bin/korvane-adapter-sim
    /usr/bin/korvane-make-update
    /usr/share/man/man1/korvane-adapter-sim.1.gz
    /usr/share/man/man1/korvane-make-update.1.gz
    /usr/share/doc/korvane-adapter-sim/copyright
    /usr/share/doc/korvane-adapter-sim/changelog.gz
)
for f in "${updater_expected[@]}"; do
    grep -qx "$f" "$work/updater-files.txt" || fail "korvane-updater lacks $f"
done
for f in "${sim_expected[@]}"; do
    grep -qx "$f" "$work/sim-files.txt" || fail "korvane-adapter-sim lacks $f"
done
dpkg-deb -f "$updater_deb" Depends | tee "$work/depends.txt"
grep -q 'libqt6widgets6' "$work/depends.txt" || fail "the Depends line misses the Qt libraries"
echo "both packages hold every expected file"

# ---------------------------------------------------------------------------------------------
phase "apt-get install ./*.deb"
apt_options=(-y -q -o DPkg::Lock::Timeout=300)
remove_debs() {
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge "${apt_options[@]}" \
        korvane-updater korvane-adapter-sim >/dev/null 2>&1 || true
}
trap remove_debs EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install "${apt_options[@]}" \
    "$updater_deb" "$sim_deb" >"$work/apt-install.log" 2>&1 ||
    {
        cat "$work/apt-install.log" >&2
        fail "apt-get install failed"
    }
dpkg-query -W korvane-updater korvane-adapter-sim

phase "Running the installed programs"
fw_version=$(/usr/bin/korvane-fw --version)
echo "$fw_version"
[ "$fw_version" = "korvane-fw $version" ] || fail "korvane-fw --version says '$fw_version'"
updater_version=$(/usr/bin/korvane-updater --version)
echo "$updater_version"
case "$updater_version" in
    "korvane-updater $version "*) ;;
    *) fail "korvane-updater --version says '$updater_version'" ;;
esac
man -l /usr/share/man/man1/korvane-updater.1.gz >/dev/null 2>"$work/man.err" ||
    fail "man korvane-updater: $(cat "$work/man.err")"
man -w korvane-fw >/dev/null || fail "man does not find korvane-fw"
bash -c 'source /usr/share/bash-completion/completions/korvane-fw && complete -p korvane-fw' ||
    fail "the bash completion does not register korvane-fw"

# The menu starts what the desktop entry's Exec line names; it must open the window.
menu_command=$(sed -n 's/^Exec=//p' /usr/share/applications/korvane-updater.desktop)
command -v "${menu_command%% *}" >/dev/null || fail "the desktop entry runs '$menu_command'"
cat >"$work/window.sh" <<'EOF'
#!/usr/bin/env bash
# Under Xvfb: start the program, wait for its window to be mapped, close it again.
set -u
"$@" 2>"$WINDOW_LOG" &
pid=$!
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$WINDOW_TITLE\""; then
        echo "window shown: $WINDOW_TITLE"
        kill "$pid"
        wait "$pid" 2>/dev/null
        exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "the program ended before showing its window" >&2
        exit 1
    fi
    sleep 0.2
done
kill "$pid"
echo "no window titled '$WINDOW_TITLE' within 20 s" >&2
exit 1
EOF
chmod +x "$work/window.sh"
WINDOW_TITLE="KorvaneFwUpdater v3.6" WINDOW_LOG="$work/window.err" \
    xvfb-run -a "$work/window.sh" $menu_command ||
    fail "the installed window did not open: $(cat "$work/window.err")"

phase "An update of the emulated adapter with the installed programs"
scripts/demo.sh /usr "$work/demo" >"$work/demo.log" 2>&1 || {
    cat "$work/demo.log" >&2
    fail "the update with the installed programs failed"
}
tail -n 1 "$work/demo.log"

phase "apt-get purge"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge "${apt_options[@]}" \
    korvane-updater korvane-adapter-sim >"$work/apt-purge.log" 2>&1 || {
    cat "$work/apt-purge.log" >&2
    fail "apt-get purge failed"
}
trap - EXIT
left=0
while read -r f; do
    if [ -n "$f" ] && [ ! -d "$f" ] && [ -e "$f" ]; then
        echo "left behind: $f" >&2
        left=1
    fi
done < <(cat "$work/updater-files.txt" "$work/sim-files.txt")
[ "$left" -eq 0 ] || fail "files were left behind after apt-get purge"
echo "removed; no file left"

# ---------------------------------------------------------------------------------------------
phase "Windows ZIP"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$win_zip")
zip_root=$work/zip/KorvaneFwUpdater-${version}-win64
find "$zip_root" -type f | sed "s|^$zip_root/||" | sort | tee "$work/zip-files.txt"
grep -qx "bin/korvane-fw.exe" "$work/zip-files.txt" || fail "the ZIP lacks bin/korvane-fw.exe"

export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
wineboot --init >/dev/null 2>&1
wineserver -w
zip_version=$(wine "$zip_root/bin/korvane-fw.exe" --version | tr -d '\r')
echo "from the ZIP: $zip_version"
[ "$zip_version" = "korvane-fw $version" ] || fail "korvane-fw.exe from the ZIP says '$zip_version'"

phase "Windows installer: silent install under wine"
drive_c=$WINEPREFIX/drive_c
install_dir="$drive_c/Program Files/KorvaneFwUpdater"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KorvaneFwUpdater"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvaneFwUpdater'
vendor_key='HKLM\Software\Korvane\KorvaneFwUpdater'
(cd "$drive_c" && find . | sort) >"$work/drive-before.txt"
wine "$win_installer" /S
wineserver -w
[ -f "$install_dir/bin/korvane-fw.exe" ] || fail "korvane-fw.exe is not in C:\\Program Files\\KorvaneFwUpdater\\bin"
[ -f "$install_dir/Uninstall.exe" ] || fail "no uninstaller"
wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "no Add/Remove Programs entry"
[ -f "$start_menu/Uninstall.lnk" ] || fail "no Start-menu folder with the uninstaller"
(cd "$install_dir" && find . -type f | sort)
installed_version=$(wine "$install_dir/bin/korvane-fw.exe" --version | tr -d '\r')
echo "installed: $installed_version"
[ "$installed_version" = "korvane-fw $version" ] ||
    fail "the installed korvane-fw.exe says '$installed_version'"
if grep -qx "bin/korvane-updater.exe" "$work/zip-files.txt"; then
    [ -f "$install_dir/bin/korvane-updater.exe" ] || fail "korvane-updater.exe was not installed"
    [ -f "$start_menu/KorvaneFwUpdater.lnk" ] || fail "no Start-menu entry for the window"
    WINDOW_TITLE="KorvaneFwUpdater v3.6" WINDOW_LOG="$work/window-win.err" \
        xvfb-run -a "$work/window.sh" wine "$install_dir/bin/korvane-updater.exe" ||
        fail "the installed korvane-updater.exe did not open its window"
    wineserver -w
else
    echo "korvane-updater.exe is not part of this build yet; only korvane-fw.exe was checked"
fi

phase "Windows installer: silent uninstall"
# The uninstaller copies itself to a temporary folder and runs from there; wait for the wine
# server to have no program left.
wine "$install_dir/Uninstall.exe" /S
wineserver -w
[ ! -e "$install_dir" ] || fail "left behind: $(cd "$install_dir" && find . | head)"
[ ! -e "$start_menu" ] || fail "the Start-menu folder is left behind"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "left behind: $uninstall_key"; fi
if wine reg query "$vendor_key" >/dev/null 2>&1; then fail "left behind: $vendor_key"; fi
# Nothing else of ours anywhere on drive C: (wine's own temporary files aside).
(cd "$drive_c" && find . | sort) >"$work/drive-after.txt"
if comm -13 "$work/drive-before.txt" "$work/drive-after.txt" | grep -iv '/temp/' |
    grep -i 'korvane\|KorvaneFwUpdater'; then
    fail "files of ours are left on drive C:"
fi
echo "uninstalled; nothing left behind"

phase "Package sizes"
ls -l "$packages" | awk 'NR > 1 {printf "%10d  %s\n", $5, $9}'
echo
echo "package-check: all checks passed in $(($(date +%s) - started)) s"
