#pragma once

#include <QString>

#include <cstdint>

// A rating in half stars: 1 (half a star) to 10 (five stars); 0: unrated.
using HalfStars = std::uint8_t;
inline constexpr HalfStars kUnrated = 0;
inline constexpr HalfStars kFiveStars = 10;

namespace TagLib {
class File;
}

// The rating players wrote into a song's tags, read from the file TagLib
// already opened: ID3v2 (TXXX FMPS_Rating, then POPM), Xiph comments and
// APEv2 (FMPS_RATING, then RATING), MP4 (FMPS_Rating, then rate).
HalfStars SongRatingOf(TagLib::File& file);

// A JPEG's rating: EXIF's Rating, else XMP's xmp:Rating, read from the
// first few hundred KiB of the file. Anything else is unrated.
HalfStars ReadPhotoRating(const QString& path);
