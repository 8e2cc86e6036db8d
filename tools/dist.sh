#!/usr/bin/env bash
# Packs the product, the README and the samples: build/customize-VERSION.zip. Usage: tools/dist.sh BUILD_DIR VERSION
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
version=$2
exe="$build/win32/customize.exe"
[ -f "$exe" ] || { echo "no $exe: run make win32 first" >&2; exit 1; }

stage="$build/dist/customize-$version"
rm -rf "$build/dist"
mkdir -p "$stage"
cp "$exe" "$top/README.md" "$stage/"
cp -r "$top/samples/Content" "$stage/"
zip="$build/customize-$version.zip"
rm -f "$zip"
(cd "$build/dist" && zip -qr -X "$zip" "customize-$version")
echo "$zip"
