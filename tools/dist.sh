#!/usr/bin/env bash
# Packs the product, the README with its pictures and the samples: build/customize-VERSION.zip. Usage: tools/dist.sh BUILD_DIR VERSION
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
# The pictures the README shows, where its links look for them.
grep -o '](docs/[^)]*)' "$top/README.md" | sed 's/^](//; s/)$//' | while read -r picture; do
    mkdir -p "$stage/$(dirname "$picture")"
    cp "$top/$picture" "$stage/$picture"
done
zip="$build/customize-$version.zip"
rm -f "$zip"
(cd "$build/dist" && zip -qr -X "$zip" "customize-$version")
echo "$zip"
