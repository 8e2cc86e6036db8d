#!/usr/bin/env bash
# Checks the shipped 32-bit program as a file: format, subsystem, imports, manifest, version and icon.
# Usage: check_product.sh <customize.exe> [objdump] [python3]
set -u

exe=${1:?usage: check_product.sh <customize.exe> [objdump] [python3]}
objdump=${2:-i686-w64-mingw32-objdump}
python=${3:-python3}
here=$(cd "$(dirname "$0")" && pwd)
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if [ ! -f "$exe" ]; then
    echo "FAIL: $exe does not exist; build the 32-bit program first (make win32)"
    exit 1
fi

header=$("$objdump" -f "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }
grep -q 'file format pei-i386' <<<"$header" || fail "expected a 32-bit PE (pei-i386), got: $(grep 'file format' <<<"$header")"

private=$("$objdump" -p "$exe")
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$private" \
    || fail "expected the GUI subsystem 00000002, got: $(grep '^Subsystem' <<<"$private")"

# Only Windows' own libraries: a MinGW runtime DLL would have to be shipped next to the program.
allowed=(kernel32.dll user32.dll gdi32.dll comctl32.dll uxtheme.dll oleacc.dll shlwapi.dll ole32.dll
    oleaut32.dll advapi32.dll shell32.dll comdlg32.dll version.dll msvcrt.dll)
dlls=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$private" | tr -d '\r')
[ -n "$dlls" ] || fail "no imported DLL found in $exe"
while read -r dll; do
    [ -n "$dll" ] || continue
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    known=0
    for name in "${allowed[@]}"; do
        [ "$lower" = "$name" ] && known=1
    done
    [ "$known" -eq 1 ] || fail "imports $dll, which is not a Windows system library"
done <<<"$dlls"

"$python" "$here/check_resources.py" "$exe" || failures=$((failures + 1))

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed for $exe"
    exit 1
fi
echo "ok: $exe"
