"""Copies one short FLAC and one short MP3 round into a library of tagged
songs, each with its own title, artist, album, track and rating, as a
tagger leaves them: RATING (whole stars) in the FLACs, a POPM frame in the
MP3s, one song in six unrated.

  /usr/bin/python3 TagSongs.py ROOT COUNT FOLDERS BASE.flac BASE.mp3

Run by Debian's python3, which has mutagen (python3-mutagen).
"""

import os
import shutil
import sys

from mutagen.flac import FLAC
from mutagen.id3 import ID3, POPM, TALB, TIT2, TPE1, TRCK

# The byte Windows writes for each whole star.
POPULARIMETER = {1: 1, 2: 64, 3: 128, 4: 196, 5: 255}


def main():
    root, count, folders, base_flac, base_mp3 = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    per_folder = -(-count // folders)
    for i in range(count):
        folder_number = i // per_folder
        artist = f"Artist {folder_number // 10:03d}"
        album = f"Album {folder_number:04d}"
        folder = os.path.join(root, artist, album)
        os.makedirs(folder, exist_ok=True)
        track = i % per_folder + 1
        title = f"Song {i:05d}"
        stars = i % 6  # 0: unrated
        # Every third album is of MP3s, the rest FLACs.
        if folder_number % 3 == 2:
            path = os.path.join(folder, f"{track:02d} {title}.mp3")
            shutil.copyfile(base_mp3, path)
            tags = ID3()
            tags.add(TIT2(encoding=3, text=title))
            tags.add(TPE1(encoding=3, text=artist))
            tags.add(TALB(encoding=3, text=album))
            tags.add(TRCK(encoding=3, text=str(track)))
            if stars:
                tags.add(POPM(email="Windows Media Player 9 Series", rating=POPULARIMETER[stars], count=0))
            tags.save(path)
        else:
            path = os.path.join(folder, f"{track:02d} {title}.flac")
            shutil.copyfile(base_flac, path)
            song = FLAC(path)
            song["title"] = title
            song["artist"] = artist
            song["album"] = album
            song["tracknumber"] = str(track)
            if stars:
                song["rating"] = str(stars)
            song.save()
    print(f"wrote {count} tagged songs in {folders} folders under {root}")


main()
