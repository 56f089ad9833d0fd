#!/usr/bin/env bash
# Cross-compiles the Qt-free platform tests for Windows with MinGW-w64 and
# runs them under Wine, headless. Installs what is missing first. Exits
# non-zero when the build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

source_dir=/tmp/qvx-winproto # CMake project of the platform tests
build_dir=$PWD/build-windows

packages=(cmake make googletest g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake"
cmake --build "$build_dir" -j"$(nproc)"

# A prefix of our own, no window, no log noise, and no offer to install Mono
# or Gecko (mscoree and mshtml disabled).
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT
# The first start creates the prefix; its complaint about the missing
# 32-bit half (syswow64\rundll32.exe) does no harm.
[ -d "$WINEPREFIX" ] || wineboot --init 2>/dev/null
ctest --test-dir "$build_dir" --output-on-failure
