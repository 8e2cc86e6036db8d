#!/usr/bin/env bash
# Opens the tool under Wine, started in the project folder so that its xml.ini or the default paths
# under Content\XML find the files: CONTENT_DIR, edited in place, or else a fresh copy of the bundled
# samples. Without a display it starts a virtual one, saves a screenshot of the open dialog and closes it.
# Usage: tools/run.sh BUILD_DIR [CONTENT_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-build}" && pwd)
content=${2:-}
# make run CONTENT="~/My Project": the quotes kept the shell from expanding the ~.
case $content in
"~") content=$HOME ;;
"~/"*) content=$HOME/${content#"~/"} ;;
esac
if [ -n "$content" ]; then
    [ -d "$content" ] || { echo "no folder $content" >&2; exit 1; }
    content=$(cd "$content" && pwd)
    [ -e "$content/xml.ini" ] || [ -d "$content/Content/XML" ] \
        || { echo "$content holds neither xml.ini nor Content/XML: not a content project" >&2; exit 1; }
fi
exe="$out/win64/customize.exe"
[ -f "$exe" ] || { echo "no $exe: run make run or make win64 first" >&2; exit 1; }

. "$top/cmake/wine-env.sh" "$out/win64"
wine_init_prefix

if [ -n "$content" ]; then
    work=$content
else
    work="$out/run"
    rm -rf "$work"
    cp -r "$top/samples" "$work"
fi
cd "$work"

title='^Corvale IP Phone XML Customization Tool$'
if [ -n "${DISPLAY:-}" ]; then
    echo "Opening the tool on $work"
    exec "$WINE" "$exe"
fi

# No display: a virtual one, a screenshot of the dialog, then Close.
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$WINE" "$WINESERVER" "$exe" "$out/screenshot.png" "$title" <<'SCRIPT'
set -u
wine=$1 wineserver=$2 exe=$3 shot=$4 title=$5
"$wine" "$exe" </dev/null >/dev/null 2>&1 &
window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1)
rc=1
if [ -n "$window" ]; then
    sleep 1
    import -window "$window" "$shot" && echo "screenshot: $shot" && rc=0
    xdotool key --window "$window" Escape
else
    echo "the dialog did not open" >&2
fi
timeout 20 "$wineserver" -w || "$wineserver" -k
exit $rc
SCRIPT
