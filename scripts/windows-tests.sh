#!/usr/bin/env bash
# The Windows half: cross-compiles the whole program and its tests for 64-bit
# Windows with MinGW-w64, against Qt for Windows from scripts/windows-qt.sh
# (built once into a cache on a fresh machine), runs every test under Wine
# with no display, then builds the installer and installs, runs and
# uninstalls it silently. Installs the missing Debian packages first. Exits
# non-zero when the build, a test or the installer fails.
set -euo pipefail
cd "$(dirname "$0")/.."

source_dir=$PWD
build_dir=$PWD/build-windows

# fonts-liberation2: Liberation Sans has Arial's widths, and Wine has no Arial.
# The tests' songs and photos are made and checked by Linux's tools, which
# Wine starts as they are: ffmpeg, wavpack, mpcenc, speexenc, ImageMagick,
# exiv2, heif-info, and a HEIC writer built here on libheif.
scripts/install-deps.sh cmake make googletest g++-mingw-w64-x86-64-posix wine wine64 nsis fonts-liberation2 \
    imagemagick exiv2 ffmpeg wavpack musepack-tools speex libheif-examples g++ pkg-config libheif-dev
qt=$(scripts/windows-qt.sh)
libs=$(scripts/windows-libs.sh)
ffmpeg=$(scripts/windows-ffmpeg.sh)

# Release: no debug information, which costs MinGW much time and room.
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DQUORVEX_WINDOWS_QT="$qt" -DQUORVEX_WINDOWS_LIBS="$libs" \
    -DQUORVEX_WINDOWS_FFMPEG="$ffmpeg" -DQUORVEX_WERROR=ON
cmake --build "$build_dir" -j"$(nproc)"
mkdir -p "$build_dir/linux"
g++ -std=c++17 -O2 tests/support/TurnedHeic.cpp -o "$build_dir/linux/turned-heic" $(pkg-config --cflags --libs libheif)
export QUORVEX_TURNED_HEIC=$build_dir/linux/turned-heic

# Wine in a prefix of its own, with no display (so no window or dialog can
# open), no debug chatter, and mscoree/mshtml off so it never offers to
# install Mono or Gecko.
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# A test that finds no tool to make its songs or photos fails here.
export QUORVEX_REQUIRE_FFMPEG=1 QUORVEX_REQUIRE_PHOTO_TOOLS=1
first_start=false
[ -f "$WINEPREFIX/system.reg" ] || first_start=true
mkdir -p "$WINEPREFIX"
# One server for every test run: a cold start costs seconds each time.
wineserver -p || true # already running after an interrupted run
trap 'wineserver -k || true' EXIT
liberation=/usr/share/fonts/truetype/liberation2
if $first_start; then
    wineboot --init </dev/null >/dev/null 2>&1 # ~3 s; it complains of the missing 32-bit half
    wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
    # Liberation Sans in Windows' font folder, and in Arial's place: the
    # window is laid out for Arial's widths.
    cp "$liberation"/LiberationSans-*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v Arial /d 'Liberation Sans' /f >/dev/null
    # A fresh prefix is whole only after a second start: until then its Task
    # Scheduler service does not answer, and the scheduling test would fail.
    wineserver -k
    wineserver -w
    wineserver -p
    wineboot </dev/null >/dev/null 2>&1
else
    # Starts Wine's services here: started by a test, they would hold ctest's
    # output pipe open and ctest would wait for them forever.
    wineboot </dev/null >/dev/null 2>&1
fi

# Qt's, the libraries' and MinGW's DLLs, and ffmpeg.exe and ffprobe.exe
# for the tests that are not beside them, where Windows looks for them; Qt's
# plugins where Qt looks. Without a display the tests draw offscreen, where
# Qt for Windows reads its fonts from QT_QPA_FONTDIR: Liberation Sans alone,
# so that it stands in for Arial there too.
fonts=$build_dir/fonts
mkdir -p "$fonts"
cp "$liberation"/LiberationSans-*.ttf "$fonts/"
runtime_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
pthread_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")
export WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$libs/bin");$(winepath -w "$ffmpeg/bin");$(winepath -w "$runtime_dir");$(winepath -w "$pthread_dir")"
# Wine hands a QT_ variable to Windows programs only when it is named WINEQT_.
export WINEQT_PLUGIN_PATH=$(winepath -w "$qt/plugins")
export WINEQT_QPA_FONTDIR=$(winepath -w "$fonts")
export WINEQT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" -j"$(nproc)" --no-tests=error --output-on-failure

scripts/check-windows-installer.sh "$build_dir"
