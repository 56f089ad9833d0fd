#pragma once

#include "device/DeviceProfile.h"
#include "device/Treatment.h"
#include "tags/PhotoFacts.h"

#include <QSize>
#include <QString>

#include <cstdint>

// What becomes of a photo for a frame: copied when it is in a format the
// frame shows, upright and no larger than the screen; its metadata alone
// rewritten when it fits but carries a location the frame must not get;
// else made anew. A file named as a photo that is none is made anew too,
// which fails its row with the reason.
Treatment PhotoTreatmentOf(const PhotoFacts& facts, const PhotoRules& rules);

// The size a photo upright of size upright is scaled to (never up): whole
// within the screen, or covering it to be cropped.
QSize ScaledPhotoSize(QSize upright, const PhotoRules& rules);
// The size of the photo written: the scaled size, cropped to the screen
// for Fit=fill.
QSize FittedPhotoSize(QSize upright, const PhotoRules& rules);

// What a photo made anew is guessed to take before it is made: its pixels
// at the bits a pixel a JPEG of the profile's quality takes, and room for
// its EXIF block. Its size once made may be larger.
std::uint64_t EstimatedPhotoBytes(const PhotoFacts& facts, const PhotoRules& rules);

// A photo's name once made anew: IMG_1.HEIC -> IMG_1.jpg.
QString FittedPhotoName(const QString& name);

// The most megapixels a photo may have: a JPEG is decoded already scaled
// down; the rest are decoded whole first.
inline constexpr std::int64_t kMostJpegPixels = 256'000'000;
inline constexpr std::int64_t kMostWholePixels = 50'000'000;
