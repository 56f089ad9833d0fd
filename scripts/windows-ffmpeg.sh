#!/usr/bin/env bash
# Provides ffmpeg.exe for 64-bit Windows, cross-built once from Debian's own
# lame and ffmpeg sources with Debian's MinGW-w64 compilers, in a cache
# outside the clone that later clones and CI runs on this machine reuse.
# Prints the prefix, which holds bin/ffmpeg.exe, the licenses and, under
# source/, the Debian source packages it was built from (the LGPL's offer).
#
#   scripts/windows-ffmpeg.sh        # builds it if the cache lacks it
#
# The build is LGPL (no GPL or nonfree parts) and holds only what Quorvex
# asks of ffmpeg: decode the songs it accepts, encode MP3 (LAME) or AAC and
# a cover in JPEG. It is checked under Wine before it is cached; like Qt's,
# it is built beside the cache and moved into place under a lock. It takes
# about 3 minutes on 2 free cores.
set -euo pipefail
cd "$(dirname "$0")/.."
script_dir=$PWD/scripts

cache_root=${QUORVEX_QT_CACHE:-/var/cache/quorvex}
# ffmpeg (the Linux one, which makes the test songs) names the source
# versions: the same ffmpeg, and the lame that Debian builds it with.
"$script_dir/install-deps.sh" ffmpeg libmp3lame0 dpkg-dev gcc-mingw-w64-x86-64-posix \
    libz-mingw-w64-dev nasm make wine wine64 >&2
ffmpeg_version=$(dpkg-query -W -f='${source:Version}' ffmpeg)
lame_version=$(dpkg-query -W -f='${source:Version}' libmp3lame0)
# Raised whenever the options below change, so an older cache is rebuilt.
recipe=2
stamp="ffmpeg $ffmpeg_version lame $lame_version recipe $recipe"
prefix=$cache_root/ffmpeg-windows-${ffmpeg_version#*:}

source "$script_dir/cross-build.sh"
cache_or_lock "$prefix" "$stamp" "ffmpeg for Windows"

work=$(mktemp -d "$cache_root/ffmpeg-windows-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
staged=$work/ffmpeg
mkdir -p "$staged/bin" "$staged/source" "$staged/licenses" "$work/src"
cd "$work/src"
fetch_debian_source lame "$lame_version"
fetch_debian_source ffmpeg "$ffmpeg_version"
cp -p lame_* ffmpeg_* "$staged/source/"
lame_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'lame-*' | head -n 1)
ffmpeg_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)
cp "$lame_dir/COPYING" "$staged/licenses/lame-COPYING"
cp "$ffmpeg_dir/COPYING.LGPLv2.1" "$staged/licenses/ffmpeg-COPYING.LGPLv2.1"
jobs=${QUORVEX_FFMPEG_JOBS:-$(nproc)}
cc=x86_64-w64-mingw32-gcc-posix

# LAME as a static library in a prefix of its own, only for ffmpeg to link.
# Debian's patches touch configure.in, but the shipped configure suffices:
# they add a pkg-config file and -msse for i386, neither needed here.
lame=$work/lame
(cd "$lame_dir" && ./configure --host=x86_64-w64-mingw32 CC=$cc CFLAGS=-O2 --prefix="$lame" \
    --disable-shared --enable-static --disable-frontend --disable-decoder >&2 &&
    make -j"$jobs" >&2 && make install >&2)

# --disable-autodetect: nothing from the build machine or Windows' optional
# APIs creeps in; threads are not autodetected, so they stay. -static folds
# libgcc and winpthread in, so the exe stands alone. PKG_CONFIG_LIBDIR
# (LAME's prefix, which has no .pc files) hides the build machine's own.
mkdir -p "$work/build"
cd "$work/build"
PKG_CONFIG_LIBDIR=$lame/lib/pkgconfig "$ffmpeg_dir/configure" \
    --target-os=mingw32 --arch=x86_64 --enable-cross-compile \
    --cross-prefix=x86_64-w64-mingw32- --cc=$cc --pkg-config=pkg-config \
    --extra-cflags="-I$lame/include" --extra-ldflags="-L$lame/lib -static" \
    --enable-static --disable-shared --disable-autodetect --disable-debug --disable-doc \
    --disable-ffplay --disable-ffprobe --disable-avdevice --disable-network \
    --disable-everything --enable-zlib --enable-libmp3lame \
    --enable-protocol=file,pipe \
    --enable-demuxer=mp3,aac,mov,flac,ogg,wav,asf \
    --enable-parser=mpegaudio,aac,flac,vorbis,opus,mjpeg,png \
    --enable-decoder=mp3,mp3float,aac,alac,flac,vorbis,opus,wmav1,wmav2,wmapro,wmalossless,mjpeg,png \
    --enable-decoder=pcm_s16le,pcm_s16be,pcm_s24le,pcm_s32le,pcm_f32le,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw \
    --enable-encoder=libmp3lame,aac,mjpeg,png \
    --enable-muxer=mp3,ipod,mp4,adts,null \
    --enable-filter=aresample,aformat,anull,scale,format,null >&2
make -j"$jobs" >&2
cp ffmpeg.exe "$staged/bin/"

# Test songs from the Linux ffmpeg, converted as Quorvex converts them. A
# missing protocol, demuxer or filter shows only here, when a file is opened.
test_dir=$work/test
mkdir -p "$test_dir"
cd "$test_dir"
lavfi() { ffmpeg -nostdin -v error -y -f lavfi -i "$1" "${@:2}"; }
lavfi color=c=orange:s=600x600 -frames:v 1 cover.png
lavfi sine=f=440:d=3:r=48000 -i cover.png -map 0 -map 1 -c:a flac -c:v png -disposition:v attached_pic cover.flac
lavfi sine=f=330:d=3:r=48000 -ac 2 -c:a libopus song.opus
lavfi sine=f=550:d=3:r=44100 -i cover.png -map 0 -map 1 -ac 2 -c:a aac -c:v mjpeg -disposition:v attached_pic song.m4a
lavfi sine=f=660:d=3:r=96000 -ac 2 -c:a pcm_s24le song.wav
lavfi sine=f=770:d=3:r=22050 -c:a wmav2 song.wma

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineboot --init </dev/null >/dev/null 2>&1 # it complains of the missing 32-bit half
wine "$staged/bin/ffmpeg.exe" -version </dev/null >&2
failed=0
check() { # file, stream, expected "key=value,..." from ffprobe
    local got
    got=$(ffprobe -v error -select_streams "$2" -show_entries "stream=$(echo "$3" | sed 's/=[^,]*//g')" \
        -of compact=p=0 "$1" | tr "|" ",") || true
    if [ "$got" = "$3" ]; then echo "ok   $1 $2 $got" >&2; else echo "FAIL $1 $2: $got, not $3" >&2; failed=1; fi
}
to_mp3=(-map 0:a:0 -c:a libmp3lame -b:a 192k -ar 44100 -ac 2 -id3v2_version 3 -write_id3v1 0 -map_metadata 0)
cover=(-map 0:v:0 -c:v mjpeg -vf scale=300:300)
mp3_audio=codec_name=mp3,sample_rate=44100,channels=2,bit_rate=192000
convert() { wine "$staged/bin/ffmpeg.exe" -nostdin -v error -y -i "$@" </dev/null >&2 || failed=1; }
convert cover.flac "${to_mp3[@]}" "${cover[@]}" -f mp3 cover.mp3
check cover.mp3 a:0 $mp3_audio
check cover.mp3 v:0 codec_name=mjpeg,width=300,height=300
convert song.m4a "${to_mp3[@]}" "${cover[@]}" -f mp3 m4a.mp3
check m4a.mp3 v:0 codec_name=mjpeg,width=300,height=300
for song in song.opus song.m4a song.wav song.wma; do
    convert $song "${to_mp3[@]}" -f mp3 ${song#song.}.mp3
    check ${song#song.}.mp3 a:0 $mp3_audio
done
convert cover.flac -map 0:a:0 -c:a aac -b:a 192k -ar 44100 -ac 2 -map_metadata 0 -f ipod aac.m4a
check aac.m4a a:0 codec_name=aac,sample_rate=44100,channels=2
# Rewriting tags copies the audio untouched.
convert cover.mp3 -map 0 -c copy -metadata title=Retagged -id3v2_version 3 -write_id3v1 0 -f mp3 retagged.mp3
[ "$(ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 retagged.mp3)" = Retagged ] ||
    { echo "FAIL retagged.mp3: title not written" >&2; failed=1; }
check retagged.mp3 a:0 $mp3_audio
wineserver -k 2>/dev/null || true
[ "$failed" -eq 0 ] || { echo "ffmpeg.exe failed its checks; nothing was cached" >&2; exit 1; }

commit_cache "$staged" "$prefix" "$stamp"
