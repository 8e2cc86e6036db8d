#!/usr/bin/env bash
# Prints the size of the C++ tests against the product's C++ (all lines, as wc counts them).
# The goal is at most 0.40, aiming at 0.33. Usage: tools/test-ratio.sh [--max RATIO]
set -eu
cd "$(dirname "$0")/.."
count() { git ls-files -- "$@" | xargs -r cat | wc -l; }
tests=$(count 'tests/*.cpp' 'tests/*.h')
product=$(count 'xml/*.cpp' 'xml/*.h' 'content/*.cpp' 'content/*.h' 'win/*.cpp' 'win/*.h' 'pages/*.cpp' 'pages/*.h' 'app/*.cpp' 'app/*.h')
ratio=$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.2f", t / p }')
echo "tests: $tests lines of C++; product (xml/ content/ win/ pages/ app/): $product lines; ratio $ratio"
if [ "${1:-}" = --max ]; then
    awk -v r="$ratio" -v m="$2" 'BEGIN { exit !(r <= m) }' || { echo "ratio above $2" >&2; exit 1; }
fi
