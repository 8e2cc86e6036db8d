#!/usr/bin/env bash
# Packs the product for Windows users: build/customize-VERSION.zip holds the guide "Read Me First.txt", the
# program, the screenshot the guide names and the samples. Usage: tools/dist.sh BUILD_DIR VERSION
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
version=$2
exe="$build/win32/customize.exe"
guide="Read Me First.txt"
[ -f "$exe" ] || { echo "no $exe: run make win32 first" >&2; exit 1; }

stage="$build/dist/customize-$version"
rm -rf "$build/dist"
mkdir -p "$stage/docs"
# Windows line ends: Notepad before Windows 10 1809 shows a file without them as one long line.
sed 's/\r*$/\r/' "$top/docs/$guide" >"$stage/$guide"
cp "$exe" "$stage/"
cp "$top/docs/screenshot.png" "$stage/docs/"
cp -r "$top/samples/Content" "$stage/"
zip="$build/customize-$version.zip"
rm -f "$zip"
# The guide is the first entry, so that a listing shows it first; the rest follow in name order.
(cd "$build/dist" && {
    echo "customize-$version/$guide"
    find "customize-$version" ! -path "customize-$version/$guide" | LC_ALL=C sort
} | zip -q -X "$zip" -@)
echo "$zip"
