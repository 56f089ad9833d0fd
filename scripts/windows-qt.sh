#!/usr/bin/env bash
# Provides Qt for 64-bit Windows, cross-built once from Debian's own qt6-base
# source with Debian's MinGW-w64 compilers, in a cache outside the clone that
# later clones and CI runs on this machine reuse. Prints the Qt prefix.
#
#   scripts/windows-qt.sh            # builds it if the cache lacks it
#
# The cache holds one folder per Qt version, QUORVEX_QT_CACHE (default
# /var/cache/quorvex) /qt6-windows-<version>, with a stamp naming the Debian
# version and this recipe. The build runs in a temporary folder beside it and
# is moved into place under a lock, so an interrupted build or two clones at
# once never leave half a cache. Nothing is downloaded but Debian's source
# package. It takes about 15 minutes on 2 free cores.
set -euo pipefail
cd "$(dirname "$0")/.."
script_dir=$PWD/scripts

cache_root=${QUORVEX_QT_CACHE:-/var/cache/quorvex}
# The host's moc, rcc and uic generate code for this Qt, so both must be the
# same version: the source is the one of the installed qt6-base-dev.
"$script_dir/install-deps.sh" qt6-base-dev qt6-base-dev-tools dpkg-dev \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build perl >&2
debian_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${debian_version%%+*}
qt_version=${qt_version#*:}
# Raised whenever the options below change, so an older cache is rebuilt.
recipe=1
stamp="qt6-base $debian_version recipe $recipe"
prefix=$cache_root/qt6-windows-$qt_version

source "$script_dir/cross-build.sh"
cache_or_lock "$prefix" "$stamp" "Qt for Windows"

work=$(mktemp -d "$cache_root/qt6-windows-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
fetch_debian_source qt6-base "$debian_version"
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

# The -posix compilers: Qt's threads need std::thread and std::mutex.
cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

staged=$work/qt
mkdir -p "$work/build"
cd "$work/build"
# Only what Quorvex links: Core, Gui, Widgets, Test and the windows and
# offscreen platform plugins. The third-party libraries are Qt's bundled
# ones (the MinGW sysroot has none). Debian's source leaves out the tablet
# header the windows plugin would include, hence no tablet events.
"$source_dir/configure" -prefix "$staged" -release -shared \
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -qt-host-path /usr \
    -nomake examples -nomake tests \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -no-opengl -no-dbus -no-icu -no-sql-sqlite -no-feature-sql -no-feature-network \
    -no-feature-printsupport -no-feature-concurrent -no-feature-xml \
    -- -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DFEATURE_tabletevent=OFF >&2
cmake --build . --parallel "${QUORVEX_QT_JOBS:-$(nproc)}" >&2
cmake --install . >&2
commit_cache "$staged" "$prefix" "$stamp"
