#!/usr/bin/env bash
# Runs a Windows program under Wine at another DPI: sets the prefix's LogPixels, which a program started
# after the change picks up, and puts 96 back whatever happens. Usage: wine-dpi.sh BUILD_DIR DPI PROGRAM [ARGS...]
set -u
. "$(dirname "$0")/wine-env.sh" "$1"
dpi=$2
shift 2
wine_init_prefix
wine_use_display || { echo "no display: run through CTest, whose fixture starts one" >&2; exit 1; }
logpixels() { "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null; }
trap 'logpixels 96' EXIT
logpixels "$dpi" || { echo "could not set LogPixels" >&2; exit 1; }
"$WINE" "$@"
