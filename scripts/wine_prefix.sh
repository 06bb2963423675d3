# Shared by test-windows.sh and screenshots-windows.sh: the private wine prefix in
# build/windows/wineprefix, set up so that windows work without a desktop. Source it, then call
# prepare_wine_prefix GRAPHICS LOG: GRAPHICS "null" (no X server needed: windows exist, take
# messages and draw into memory) or "x11" (for pictures, under Xvfb).
#
# What it takes care of, each measured with wine 8:
# - Debian's wine does not find the fonts of fonts-wine: Tahoma and Marlett are linked into the
#   prefix's Fonts folder, then the server restarts so that it sees them;
# - without a window manager every top-level DestroyWindow waits 2 s for one: windows are not
#   handed to a window manager (X11 Driver, Managed = N), and wine draws their frames itself;
# - a server is started only after an earlier one of this prefix has ended (-k, then -w);
# - the first program of a server session starts wine's helper processes, which keep its standard
#   output open: a harmless program started here gives them the log instead, so that a program
#   whose output is read through a pipe (test listing, $(...)) ends when it ends.

export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"

stop_wine_server() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

prepare_wine_prefix() {
    local graphics=$1 log=$2
    mkdir -p "$WINEPREFIX"
    stop_wine_server
    wineserver -p >>"$log" 2>&1
    wine cmd /c exit >>"$log" 2>&1
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
        if [ -f "/usr/share/wine/fonts/$font" ]; then
            ln -sfn "/usr/share/wine/fonts/$font" "$fonts/$font"
        fi
    done
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f >>"$log" 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
    start_wine_server "$log"
    mkdir -p "$WINEPREFIX/dosdevices"
}

# A persistent server for the prefix, with wine's helper processes started on `log`.
start_wine_server() {
    local log=$1
    stop_wine_server
    wineserver -p >>"$log" 2>&1
    wine cmd /c exit >>"$log" 2>&1
}
