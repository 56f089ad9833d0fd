#pragma once

#include "tags/AudioFacts.h"
#include "device/DeviceProfile.h"
#include "device/Treatment.h"

#include <QString>

#include <cstdint>

// Decides by what the file is: its codec, sample rate, bit rate, its tags'
// version and its cover. A missing ID3v1 alone leaves a file as it is; a
// file named as a song that holds no sound is refused.
Treatment SongTreatmentOf(const AudioFacts& facts, const AudioRules& rules);

// The extension of what a conversion writes: mp3 or m4a.
QString ConvertedSuffix(const AudioRules& rules);

// A file's name once converted: its extension replaced (song.flac ->
// song.mp3; a name without one gains it).
QString ConvertedName(const QString& name, const AudioRules& rules);

// The most a treated file can take on the device: the bit rate times the
// length, and room for the tags and the cover. A file copied takes its
// own size.
std::uint64_t TreatedSizeBound(const AudioFacts& facts, const AudioRules& rules, Treatment treatment,
                               std::uint64_t sourceSize);

// How a profile treats files in a few words: "MP3 at 192 kbit/s".
QString ConversionText(const AudioRules& rules);
