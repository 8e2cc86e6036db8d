# Sourced by the Wine scripts: the private prefix of one build folder, and its display.
# Usage: . wine-env.sh BUILD_DIR
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
state="$build/wine-state"

# Creates the prefix once; parallel callers wait on the lock instead of racing.
wine_init_prefix() {
    [ -f "$WINEPREFIX/.ready" ] && return 0
    mkdir -p "$state"
    (
        flock 9
        [ -f "$WINEPREFIX/.ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot --init >/dev/null 2>&1 </dev/null
        # Without a window manager every hide of a managed window waits about 2 s.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
        "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
        # Tahoma and friends: without them dialogs are laid out in a wider font.
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
        "$WINESERVER" -w
        touch "$WINEPREFIX/.ready"
    ) 9>"$state/prefix.lock"
}

# Uses the display of the current run: the caller's, or the Xvfb that the setup fixture started.
wine_use_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
        export DISPLAY=":$(cat "$state/display")"
        return 0
    fi
    return 1
}
