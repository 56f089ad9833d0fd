#!/usr/bin/env bash
# Provides the libraries that Quorvex links on 64-bit Windows: TagLib (what
# a song is), libexif (a fitted photo's EXIF), libde265 with libheif
# (phones' HEIC photos) and SQLite (the library index), cross-built as DLLs
# from Debian's own source packages with Debian's MinGW-w64 compilers, in a
# cache outside the clone that later clones and CI runs on this machine
# reuse. Prints the prefix, which holds bin/ (the DLLs), include/, lib/
# (import libraries and pkg-config files), licenses/ and source/ (Debian's
# source of each, which the LGPL asks to be offered with the DLLs).
#
#   scripts/windows-libs.sh          # builds them if the cache lacks them
#
# The cache, QUORVEX_QT_CACHE (default /var/cache/quorvex) /libs-windows,
# is stamped with the Debian versions and this recipe; it is built in a
# temporary folder beside it and moved into place under a lock, as Qt is.
# About 4 minutes on 2 free cores.
set -euo pipefail
cd "$(dirname "$0")/.."
script_dir=$PWD/scripts

cache_root=${QUORVEX_QT_CACHE:-/var/cache/quorvex}
"$script_dir/install-deps.sh" dpkg-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build \
    autoconf automake libtool autopoint libz-mingw-w64-dev libutfcpp-dev tcl >&2
# The versions of the host's own libraries, so that both builds read files
# alike: the source each installed package was built from.
"$script_dir/install-deps.sh" libtag1-dev libexif-dev libheif-dev libsqlite3-dev >&2
declare -A versions
versions[taglib]=$(dpkg-query -W -f='${source:Version}' libtag1-dev)
versions[libexif]=$(dpkg-query -W -f='${source:Version}' libexif-dev)
versions[libheif]=$(dpkg-query -W -f='${source:Version}' libheif-dev)
versions[libde265]=$(dpkg-query -W -f='${source:Version}' libde265-0)
versions[sqlite3]=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
# Raised whenever the options below change, so an older cache is rebuilt.
recipe=2
stamp="taglib ${versions[taglib]} libexif ${versions[libexif]} libde265 ${versions[libde265]} libheif ${versions[libheif]} sqlite3 ${versions[sqlite3]} recipe $recipe"
prefix=$cache_root/libs-windows

source "$script_dir/cross-build.sh"
cache_or_lock "$prefix" "$stamp" "the Windows libraries"

work=$(mktemp -d "$cache_root/libs-windows-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
staged=$work/libs
mkdir -p "$staged/licenses" "$staged/source"
cd "$work"
# The host's version where the archive still has its source, else the
# newest it has of the same upstream release (a security mirror may hold
# only part of its own pool).
for package in taglib libexif libde265 libheif sqlite3; do
    fetched=false
    for version in "${versions[$package]}" $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' |
                                               grep -F "${versions[$package]%%-*}-" | sort -rV); do
        if fetch_debian_source "$package" "$version"; then
            fetched=true
            echo "$package $version" >>"$staged/source/versions.txt"
            break
        fi
        rm -f ./"${package}"_*.dsc ./"${package}"_*.tar.*
    done
    $fetched || { echo "No source of $package ${versions[$package]} can be fetched" >&2; exit 1; }
done
# SQLite's documentation (its orig-www archive) stays out: it is no source
# of the DLL and would add 6 MB to the installer.
cp ./*.dsc ./*.orig.tar.* ./*.debian.tar.* "$staged/source/"

cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $staged)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
# Each DLL stands alone beside the program: the compiler's runtime and its
# threads are linked in and kept private, so that two DLLs do not both
# export the same unwinder.
link_alone="-static-libgcc -static-libstdc++ -Wl,--exclude-libs,ALL -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic"

# cmake_build FOLDER OPTION...
cmake_build() {
    local folder=$1
    shift
    cmake -S "$folder" -B "$folder/windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$staged" -DCMAKE_PREFIX_PATH="$staged" \
        -DBUILD_SHARED_LIBS=ON -DCMAKE_SHARED_LINKER_FLAGS="$link_alone" "$@" >&2
    cmake --build "$folder/windows" --parallel "$(nproc)" >&2
    cmake --install "$folder/windows" >&2
}

source_of() { find "$work" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

# libexif: autotools only; Debian's source has no configure script.
(
    cd "$(source_of libexif)"
    autoreconf -fi >&2
    ./configure -q --host=x86_64-w64-mingw32 --prefix="$staged" --enable-shared --disable-static --disable-docs \
        --disable-nls CC=x86_64-w64-mingw32-gcc-posix >&2
    make -j"$(nproc)" >&2
    make install >&2
    cp COPYING "$staged/licenses/libexif-COPYING.txt"
)
# Debian's TagLib reads UTF-8 through the system's utfcpp headers, which
# hold no code for any one system.
cmake_build "$(source_of taglib)" -DBUILD_TESTING=OFF -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=ON \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DCMAKE_CXX_FLAGS="-isystem /usr/include/utf8cpp"
cp "$(source_of taglib)/COPYING.LGPL" "$staged/licenses/taglib-COPYING.LGPL.txt"
cmake_build "$(source_of libde265)" -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
cp "$(source_of libde265)/COPYING" "$staged/licenses/libde265-COPYING.txt"
# HEIC decoding only, libde265 built in: no plugins to look for at run time.
cmake_build "$(source_of libheif)" -DENABLE_PLUGIN_LOADING=OFF -DWITH_LIBDE265=ON -DWITH_X265=OFF -DWITH_DAV1D=OFF \
    -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF -DWITH_EXAMPLES=OFF \
    -DWITH_GDK_PIXBUF=OFF -DBUILD_TESTING=OFF
cp "$(source_of libheif)/COPYING" "$staged/licenses/libheif-COPYING.txt"

# SQLite: the host makes the single-file sqlite3.c (its generators are
# host programs and Tcl), which is cross-compiled alone. Debian's own
# options (debian/rules), so that SQL that works on Linux works here; the
# parser and keyword table are generated for the ENABLE/OMIT ones, so
# configure sees them too. Threads and WAL use Windows' own locks and
# shared memory.
sqlite_options=(-DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS3
    -DSQLITE_ENABLE_FTS3_PARENTHESIS -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY
    -DSQLITE_OMIT_LOOKASIDE=1 -DSQLITE_ENABLE_DBSTAT_VTAB -DSQLITE_ALLOW_ROWID_IN_VIEW
    -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1 -DSQLITE_ENABLE_LOAD_EXTENSION -DSQLITE_ENABLE_JSON1
    -DSQLITE_LIKE_DOESNT_MATCH_BLOBS -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS3_TOKENIZER=1 -DSQLITE_USE_URI=1
    -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_ENABLE_PREUPDATE_HOOK -DSQLITE_ENABLE_SESSION -DSQLITE_ENABLE_STMTVTAB
    -DSQLITE_MAX_VARIABLE_NUMBER=250000)
(
    mkdir "$(source_of sqlite3)/amalgamation"
    cd "$(source_of sqlite3)/amalgamation"
    ../configure -q --disable-tcl --enable-threadsafe --enable-load-extension --enable-json --enable-fts4 --enable-fts5 \
        CFLAGS="-O2 ${sqlite_options[*]}" >&2
    make sqlite3.c sqlite3.h >&2
    # What configure added: FTS4, FTS5 and the math functions.
    read -r -a features < <(sed -n 's/^OPT_FEATURE_FLAGS = //p' Makefile)
    # It exports its API alone and, being C on Windows' own threads, needs
    # only libgcc linked in to stand alone.
    x86_64-w64-mingw32-gcc-posix -O2 -fno-strict-aliasing "${sqlite_options[@]}" "${features[@]}" \
        '-DSQLITE_API=__declspec(dllexport)' -shared -o "$staged/bin/libsqlite3.dll" sqlite3.c \
        -Wl,--out-implib,"$staged/lib/libsqlite3.dll.a" -static-libgcc -Wl,--exclude-libs,ALL >&2
    cp sqlite3.h ../src/sqlite3ext.h "$staged/include/"
    cp ../LICENSE.md "$staged/licenses/sqlite3-LICENSE.txt"
)

# Each DLL imports only the system's own libraries, and libheif libde265.
for dll in "$staged"/bin/*.dll; do
    imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
    for import in $imports; do
        case "$import" in
            KERNEL32.dll | msvcrt.dll | USER32.dll | ADVAPI32.dll | libde265.dll) ;;
            *) echo "$dll imports $import, which no Windows has" >&2; exit 1 ;;
        esac
    done
done
commit_cache "$staged" "$prefix" "$stamp"
