#!/usr/bin/env bash
# Test fixture: a display (when there is none), a persistent Wine server and one hidden
# keep-alive program, all detached from CTest's output pipe so tests end as soon as they are done.
# Usage: wine-setup.sh BUILD_DIR KEEPALIVE_EXE
set -eu
. "$(dirname "$0")/wine-env.sh" "$1"
keepalive=$2
mkdir -p "$state"

detach() { setsid "$@" </dev/null >/dev/null 2>&1 9>&- & }

if [ -z "${DISPLAY:-}" ] && ! wine_use_display; then
    rm -f "$state/display"
    exec 8>"$state/displayfd"
    setsid Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    exec 8>&-
    for _ in $(seq 100); do
        [ -s "$state/displayfd" ] && break
        sleep 0.1
    done
    tr -d '\n' <"$state/displayfd" >"$state/display"
    wine_use_display || { echo "Xvfb did not start" >&2; exit 1; }
fi
echo "display $DISPLAY"

wine_init_prefix
detach "$WINESERVER" -p
rm -f "$state/keepalive.ready"
detach "$WINE" "$keepalive" "$(WINEPREFIX=$WINEPREFIX /usr/lib/wine/wine64 winepath -w "$state/keepalive.ready" 2>/dev/null </dev/null)"
for _ in $(seq 300); do
    [ -f "$state/keepalive.ready" ] && exit 0
    sleep 0.1
done
echo "the keep-alive program did not start" >&2
exit 1
