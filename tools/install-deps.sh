#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the tool, or with "run" only what
# building the 64-bit program and opening it under Wine need.
# Idempotent: when every package is present it returns at once, without touching apt.
# Usage: tools/install-deps.sh [run]
set -euo pipefail

packages=(
    cmake ninja-build make g++-mingw-w64-x86-64-posix
    wine wine64 fonts-wine xvfb xauth xdotool imagemagick
)
if [ "${1:-}" != run ]; then
    packages+=(
        g++ clang libclang-rt-14-dev googletest libgtest-dev g++-mingw-w64-i686-posix x11-utils
        libpugixml-dev libtinyxml2-dev libxml2-dev zip unzip python3
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
