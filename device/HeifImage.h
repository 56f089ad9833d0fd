#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

// A HEIF photo (a phone's HEIC) decoded upright: libheif turns and mirrors
// it as its own boxes say, so the orientation in its EXIF block is not
// applied again.
struct HeifPicture {
    QImage image;
    QByteArray exif;  // its EXIF block, "Exif\0\0" first; empty when none
    QString failure;  // why there is no image
};

// Decodes the bytes of a HEIF file; one of more than mostPixels is refused
// before it is decoded.
HeifPicture DecodeHeif(const QByteArray& bytes, std::int64_t mostPixels);
