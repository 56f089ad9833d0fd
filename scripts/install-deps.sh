#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvex need, or
# the packages named as arguments, skipping the install when every one of
# them is already present.
set -euo pipefail

# ffmpeg converts songs for devices that do not play them; TagLib
# (libtag1-dev) reads what a song is; libexif writes a fitted photo's EXIF
# and libheif decodes phones' HEIC photos.
# SQLite keeps the library index (ratings, lengths) between runs.
# python3-mutagen and exiv2 write the ratings the tests read back.
# fonts-liberation2: the window is laid out for Arial; Liberation Sans has
# its widths, so every caption fits (Debian has no Arial). The tests'
# offscreen platform uses the same fonts.
packages=(
    cmake
    g++
    make
    qt6-base-dev
    qt6-qpa-plugins
    fonts-liberation2
    libgtest-dev
    libbenchmark-dev
    help2man
    dosfstools
    fusefat
    pkg-config
    libtag1-dev
    ffmpeg
    libexif-dev
    libheif-dev
    libsqlite3-dev
    python3-mutagen
    exiv2
)
[ $# -gt 0 ] && packages=("$@")

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
