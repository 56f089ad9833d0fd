#pragma once

#include "tags/Rating.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// A picture's size, read from its header alone.
struct PictureFacts {
    int width = 0;
    int height = 0;
    bool jpeg = false;
    bool baseline = false; // a JPEG that is not progressive
    std::uint64_t bytes = 0;
};

// The tags a conversion keeps, as read.
struct AudioTags {
    QString title;
    QString artist;
    QString album;
    QString albumArtist;
    QString genre;
    unsigned year = 0;
    unsigned track = 0;
    unsigned disc = 0;
};

// What an audio file is, read from its contents. A file that is not audio,
// or that cannot be read, has an empty codec.
struct AudioFacts {
    QString codec;          // as ffprobe names it: mp3, mp2, aac, alac, flac, vorbis, opus, wmav2, pcm_s16le, ape, ...
    QString container;      // mp3, mp4, flac, ogg, wav, aiff, asf, ape, mpc, wv, tta; or ffprobe's format name
    int sampleRate = 0;     // Hz
    int bitRate = 0;        // kbit/s
    int channels = 0;
    std::int64_t lengthMs = 0;
    int id3v2Version = 0;   // the major version (2, 3 or 4) of an ID3v2 tag; 0: none
    bool id3v1 = false;
    bool apeTag = false;    // tagged in APEv2, which players of ID3 do not read, nor ffmpeg in an MP3
    bool aacLowComplexity = false; // AAC-LC, as the esds box says
    std::optional<PictureFacts> cover; // the first picture the tags hold
    AudioTags tags;
    HalfStars rating = kUnrated; // as players wrote it into the tags
    QString problem; // a file named as a song that holds no sound: why

    bool IsAudio() const { return !codec.isEmpty(); }
};

// Reads a file's facts in this process, by its contents (its extension
// only picks which reader is tried first).
AudioFacts ReadAudioFacts(const QString& path);

// The number a tag's value begins with: 3 of "3/12", 2021 of "2021-05-01".
unsigned LeadingNumber(const QString& value);

// Whether a file is named as a song: its extension is that of an audio format.
bool NamedAsSong(const QString& path);
// Whether its name or its first bytes say audio: a file no reader here
// takes is then worth asking ffprobe about.
bool SaysAudio(const QString& path);
// Audio that no reader could read: a device plays none such, so it counts
// as a file to convert.
AudioFacts UnreadAudio();

// A JPEG's or a PNG's size from its header; empty for anything else.
std::optional<PictureFacts> PictureFactsOf(const QByteArray& bytes);

// The audio object type of the first AAC track of an MP4 file, as its esds
// box gives it (2 is AAC-LC, 5 HE-AAC, 29 HE-AACv2); empty when none is found.
std::optional<int> AacObjectTypeOf(const QString& path);
