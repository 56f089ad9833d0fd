#!/usr/bin/env bash
# Builds the Windows installer from a Windows build folder and tries it in
# the Wine prefix that WINEPREFIX names, as a user would: installs it
# silently, runs the installed program (a dry run over its samples, then a
# copy of them) with nothing but what it installed, and uninstalls it.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
: "${WINEPREFIX:?the Wine prefix to install into}"

rm -f "$build_dir"/quorvex-*-win64.exe
(cd "$build_dir" && cpack -G NSIS >/dev/null)
installer=$(ls "$build_dir"/quorvex-*-win64.exe)
echo "Installer: $installer ($(du -h "$installer" | cut -f1))"

fail() { echo "installer check: $*" >&2; exit 1; }
# Only what the installer put there: no DLL or plugin from the build.
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_FONTDIR
folder='C:\Program Files\Quorvex'
installed=$WINEPREFIX/drive_c/Program\ Files/Quorvex
copies_unix=$WINEPREFIX/drive_c/quorvex-copies
rm -rf "$copies_unix"

wine "$installer" /S </dev/null
for file in Quorvex.exe quorvex.com Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll imageformats/qjpeg.dll libstdc++-6.dll \
    libtag.dll libexif-12.dll libheif.dll libde265.dll libsqlite3.dll ffmpeg.exe ffprobe.exe licenses/libheif-COPYING.txt \
    licenses/sqlite3-LICENSE.txt licenses/ffmpeg-COPYING.LGPLv2.1 source/versions.txt x/o.cjs HAND-M.CUR \
    Uninstall.exe; do
    [ -f "$installed/$file" ] || fail "$file was not installed"
done
menu_entry=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Quorvex/Quorvex.lnk' | head -n 1)
[ -n "$menu_entry" ] || fail "no Start-menu entry"

program="$folder\\Quorvex.exe"
samples="$folder\\Samples"
count=$(ls "$installed/Samples" | wc -l)
[ "$count" -ge 5 ] || fail "only $count samples were installed"
# A destination must be there, in a dry run too: the program never makes one.
mkdir "$copies_unix"
rows=$(wine "$program" -q --seed 1 -n 5 -s "$samples" -d 'C:\quorvex-copies' --dry-run </dev/null | tr -d '\r')
[ "$(printf '%s\n' "$rows" | grep -c ' will be copied to C:\\quorvex-copies\\')" -eq 5 ] || fail "the dry run gave: $rows"
# Its console twin answers as a terminal expects: rows, then the exit status.
status=0
twin_rows=$(wine "$folder\\quorvex.com" -q --seed 1 -n 5 -s "$samples" -d 'C:\quorvex-copies' --dry-run </dev/null | tr -d '\r') || status=$?
[ "$status" -eq 0 ] && [ "$twin_rows" = "$rows" ] || fail "quorvex.com gave status $status and: $twin_rows"
status=0
wine "$program" -q --seed 1 -n 5 -s "$samples" -d 'C:\quorvex-copies' </dev/null || status=$?
[ "$status" -eq 0 ] || fail "the copy failed with status $status, leaving: $(ls "$copies_unix" | tr '\n' ' ')"
[ "$(ls "$copies_unix" | wc -l)" -eq 5 ] || fail "the copy left $(ls "$copies_unix" | wc -l) files, not 5"
for copy in "$copies_unix"/*; do
    cmp -s "$copy" "$installed/Samples/$(basename "$copy")" || fail "$copy differs from its sample"
done
rm -rf "$copies_unix"

# A phone's portrait, stored turned with EXIF orientation 6, arrives upright
# and fitted to a frame: the JPEG plugin and libexif are there.
photos_unix=$WINEPREFIX/drive_c/quorvex-photos
rm -rf "$photos_unix"
mkdir -p "$photos_unix" "$copies_unix"
convert -size 900x1200 xc:white -fill red -draw 'rectangle 0,0 99,99' -rotate -90 "$photos_unix/portrait.jpg"
exiv2 -M'set Exif.Image.Orientation Short 6' "$photos_unix/portrait.jpg"
status=0
wine "$program" -q -n 1 -s 'C:\quorvex-photos' -d 'C:\quorvex-copies' --device frame-800x480 </dev/null || status=$?
[ "$status" -eq 0 ] || fail "fitting a photo failed with status $status"
size=$(identify -format '%wx%h' "$copies_unix/portrait.jpg")
corner=$(convert "$copies_unix/portrait.jpg" -format '%[fx:int(255*p{5,5}.r)] %[fx:int(255*p{5,5}.g)]' info:)
[ "$size" = 360x480 ] && [ "${corner%% *}" -gt 200 ] && [ "${corner##* }" -lt 60 ] ||
    fail "the fitted photo is $size with ($corner) at its top left, not 360x480 with red there"
rm -rf "$copies_unix" "$photos_unix"

# A FLAC converted for the car by the installed program with the ffmpeg.exe
# beside it.
songs_unix=$WINEPREFIX/drive_c/quorvex-songs
rm -rf "$songs_unix"
mkdir -p "$songs_unix" "$copies_unix"
ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:d=2:r=96000 -c:a flac "$songs_unix/song.flac"
status=0
wine "$program" -q -n 1 -s 'C:\quorvex-songs' -d 'C:\quorvex-copies' --device car-mp3 </dev/null || status=$?
[ "$status" -eq 0 ] || fail "converting a song failed with status $status"
format=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,bit_rate -of csv=p=0 \
    "$copies_unix/song.mp3")
[ "$format" = mp3,44100,192000 ] || fail "the converted song is \"$format\", not MP3 at 44.1 kHz and 192 kbit/s"
rm -rf "$copies_unix" "$songs_unix"

# The uninstaller copies itself away and goes on alone: wait for it.
wine "$installed/Uninstall.exe" /S </dev/null
for _ in $(seq 120); do
    [ -e "$installed/Quorvex.exe" ] || [ -e "$installed/Uninstall.exe" ] || break
    sleep 0.5
done
for file in Quorvex.exe Qt6Core.dll platforms/qwindows.dll Samples Uninstall.exe; do
    [ ! -e "$installed/$file" ] || fail "$file is still there after the uninstall"
done
[ ! -e "$menu_entry" ] || fail "the Start-menu entry is still there after the uninstall"
rm -rf "$installed"
echo "The installer installs, runs and uninstalls."
