#!/usr/bin/env bash
# The cross-compiling emulator of the Windows build: runs a Windows program under Wine
# with the build folder's private prefix. Usage: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
set -u
. "$(dirname "$0")/wine-env.sh" "$1"
shift
wine_init_prefix
if wine_use_display; then
    exec "$WINE" "$@"
fi
# No display and no fixture: a virtual one for this run alone, kept until Wine is done with it.
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$0" "$@"; rc=$?; "'"$WINESERVER"'" -w; exit $rc' "$WINE" "$@"
