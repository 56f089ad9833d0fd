#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvex need,
# skipping the install when every one of them is already present.
set -euo pipefail

packages=(
    cmake
    g++
    make
    qt6-base-dev
    qt6-qpa-plugins
    libgtest-dev
    libbenchmark-dev
    dosfstools
    fusefat
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
