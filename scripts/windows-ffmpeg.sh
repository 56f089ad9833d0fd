#!/usr/bin/env bash
# Provides ffmpeg.exe and ffprobe.exe for 64-bit Windows, cross-built once
# from Debian's own lame and ffmpeg sources with Debian's MinGW-w64
# compilers, in a cache outside the clone that later clones and CI runs on
# this machine reuse. Prints the prefix, which holds bin/ffmpeg.exe and
# bin/ffprobe.exe, the licenses and, under source/, the Debian source
# packages they were built from (the LGPL's offer).
#
#   scripts/windows-ffmpeg.sh        # builds it if the cache lacks it
#
# The build is LGPL (no GPL or nonfree parts) and holds only what Quorvex
# asks of ffmpeg: decode every kind of song a car's library may hold, encode
# MP3 (LAME) or AAC and a cover in JPEG, and, with ffprobe.exe, tell what a
# file is that the program's own readers do not take. Both are checked
# under Wine before they are cached; like Qt's, they are built beside the
# cache and moved into place under a lock. It took 6 minutes on 2 cores
# shared with a test run, 5 of them processor time.
set -euo pipefail
cd "$(dirname "$0")/.."
script_dir=$PWD/scripts

cache_root=${QUORVEX_QT_CACHE:-/var/cache/quorvex}
# ffmpeg (the Linux one, which makes the test songs) names the source
# versions: the same ffmpeg, and the lame that Debian builds it with.
"$script_dir/install-deps.sh" ffmpeg libmp3lame0 dpkg-dev gcc-mingw-w64-x86-64-posix \
    libz-mingw-w64-dev nasm make wine wine64 wavpack musepack-tools jq >&2
ffmpeg_version=$(dpkg-query -W -f='${source:Version}' ffmpeg)
lame_version=$(dpkg-query -W -f='${source:Version}' libmp3lame0)
# Raised whenever the options below change, so an older cache is rebuilt.
recipe=4
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
# libgcc and winpthread in, so each exe stands alone. PKG_CONFIG_LIBDIR
# (LAME's prefix, which has no .pc files) hides the build machine's own.
# The songs: MPEG audio layers I to III, AAC, ALAC, FLAC, Vorbis, Opus,
# WMA, AC-3 and E-AC-3 (one parser reads both), Monkey's Audio, Musepack
# SV7 and SV8, WavPack, TrueAudio, DSD in DSF and DSDIFF (plain or DST),
# and PCM and ADPCM as WAV, AIFF(-C) and Sun AU hold them; any of them in
# Matroska too. Speex is left out: its decoder is libspeex's, which is not
# built for Windows here.
mkdir -p "$work/build"
cd "$work/build"
PKG_CONFIG_LIBDIR=$lame/lib/pkgconfig "$ffmpeg_dir/configure" \
    --target-os=mingw32 --arch=x86_64 --enable-cross-compile \
    --cross-prefix=x86_64-w64-mingw32- --cc=$cc --pkg-config=pkg-config \
    --extra-cflags="-I$lame/include" --extra-ldflags="-L$lame/lib -static" \
    --enable-static --disable-shared --disable-autodetect --disable-debug --disable-doc \
    --disable-ffplay --disable-avdevice --disable-network \
    --disable-everything --enable-zlib --enable-libmp3lame \
    --enable-protocol=file,pipe \
    --enable-demuxer=mp3,aac,mov,flac,ogg,wav,asf,matroska,ac3,eac3,ape,mpc,mpc8,wv,tta,dsf,iff,aiff,au \
    --enable-parser=mpegaudio,aac,ac3,flac,vorbis,opus,mjpeg,png \
    --enable-decoder=mp1,mp1float,mp2,mp2float,mp3,mp3float,aac,alac,flac,vorbis,opus,ac3,eac3,mjpeg,png \
    --enable-decoder=wmav1,wmav2,wmapro,wmalossless,wmavoice,ape,mpc7,mpc8,wavpack,tta \
    --enable-decoder=dsd_lsbf,dsd_msbf,dsd_lsbf_planar,dsd_msbf_planar,dst \
    --enable-decoder=pcm_s16le,pcm_s24le,pcm_s32le,pcm_f32le,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw \
    --enable-decoder=pcm_s8,pcm_s16be,pcm_s24be,pcm_s32be,pcm_f32be,pcm_f64be,adpcm_ms,adpcm_ima_wav,adpcm_ima_qt \
    --enable-encoder=libmp3lame,aac,mjpeg,png \
    --enable-muxer=mp3,ipod,mp4,adts,null \
    --enable-filter=aresample,aformat,anull,scale,format,null >&2
make -j"$jobs" >&2
cp ffmpeg.exe ffprobe.exe "$staged/bin/"

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
# The rarer kinds, each written by a Linux tool that makes such files, DSD
# by dsd_song below, as none does. Monkey's Audio goes unchecked (Debian has
# no encoder for it), and so does Musepack SV7: mpcenc writes SV8.
lavfi sine=f=880:d=3:r=44100 -ac 2 -c:a pcm_s16le plain.wav
wavpack -q -y plain.wav -o song.wv
mpcenc --silent --overwrite plain.wav song.mpc
for made in tta:song.tta ac3:song.ac3 eac3:song.eac3 mp2:song.mp2 pcm_s24be:song.aiff adpcm_ms:song.adpcm.wav \
    flac:song.mka; do
    lavfi sine=f=990:d=3:r=48000 -ac 2 -c:a "${made%%:*}" "${made#*:}"
done
lavfi sine=f=400:d=3:r=8000 -c:a pcm_mulaw song.au

# dsd_song FILE dsf|dff writes a second of stereo DSD64 silence (0x69) as
# Sony's DSF or as DSDIFF.
dsd_song() {
    perl -e '
        my ($file, $kind) = @ARGV;
        my ($rate, $channels, $block, $blocks) = (2822400, 2, 4096, 87);
        my $bytes = $block * $blocks; # a channel'"'"'s, whole blocks of it
        my $data = "\x69" x ($bytes * $channels);
        my $song;
        if ($kind eq "dsf") { # little-endian; the channels a block each in turn
            $song = pack("a4 Q< Q< Q<", "DSD ", 28, 28 + 52 + 12 + length $data, 0)
                . pack("a4 Q< V6 Q< V2", "fmt ", 52, 1, 0, 2, $channels, $rate, 1, $bytes * 8, $block, 0)
                . pack("a4 Q<", "data", 12 + length $data) . $data;
        } else { # big-endian; the channels a byte each in turn
            my $sound = "SND " . pack("a4 Q> N", "FS  ", 4, $rate)
                . pack("a4 Q> n a4 a4", "CHNL", 10, $channels, "SLFT", "SRGT")
                . pack("a4 Q> a4 C a14 x", "CMPR", 19, "DSD ", 14, "not compressed");
            my $body = "DSD " . pack("a4 Q> N", "FVER", 4, 0x01050000)
                . pack("a4 Q>", "PROP", length $sound) . $sound . pack("a4 Q>", "DSD ", length $data) . $data;
            $song = pack("a4 Q>", "FRM8", length $body) . $body;
        }
        open(my $out, ">:raw", $file) or die "$file: $!";
        print $out $song;
        close($out) or die "$file: $!";
    ' "$@"
}
dsd_song song.dsf dsf
dsd_song song.dff dff
rare=(song.wv song.mpc song.tta song.ac3 song.eac3 song.mp2 song.aiff song.adpcm.wav song.au song.dsf song.dff
    song.mka)

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineboot --init </dev/null >/dev/null 2>&1 # it complains of the missing 32-bit half
wine "$staged/bin/ffmpeg.exe" -version </dev/null >&2
wine "$staged/bin/ffprobe.exe" -version </dev/null | head -n 1 >&2
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
for song in song.opus song.m4a song.wav song.wma "${rare[@]}"; do
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
# ffprobe.exe's JSON names the container and codec as the Linux one does.
names() { jq -r '[.format.format_name, .streams[0].codec_name] | join(",")'; }
probe=(-v error -print_format json -show_format -show_streams)
for song in cover.flac "${rare[@]}"; do
    want=$(ffprobe "${probe[@]}" $song | names)
    got=$(wine "$staged/bin/ffprobe.exe" "${probe[@]}" $song </dev/null | names) || true
    if [ "$got" = "$want" ]; then echo "ok   $song ffprobe.exe $got" >&2
    else echo "FAIL $song ffprobe.exe: $got, not $want" >&2; failed=1; fi
done
wineserver -k 2>/dev/null || true
[ "$failed" -eq 0 ] || { echo "ffmpeg.exe failed its checks; nothing was cached" >&2; exit 1; }

commit_cache "$staged" "$prefix" "$stamp"
