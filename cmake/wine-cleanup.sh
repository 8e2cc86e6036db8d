#!/usr/bin/env bash
# Test fixture: stops this build's Wine server (and its programs) and the Xvfb the setup started.
set -u
. "$(dirname "$0")/wine-env.sh" "$1"
"$WINESERVER" -k 2>/dev/null
if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null
    rm -f "$state/xvfb.pid" "$state/display" "$state/displayfd"
fi
exit 0
