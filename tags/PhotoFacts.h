#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

// What a photo is, read from its header alone: the photo is not decoded.
struct PhotoFacts {
    QString format;     // jpeg, png, bmp, gif or heif; empty: no photo
    QString problem;    // a file named as a photo that is none, or whose header cannot be read: why
    int width = 0;      // as stored, before its orientation turns it; 0 where the header does not say
    int height = 0;
    int orientation = 1; // EXIF's: 1 upright, 2 to 8 turned or mirrored
    bool baseline = false;    // a JPEG neither progressive nor arithmetic-coded
    int components = 0;       // a JPEG's: 1 grey, 3 colour, 4 CMYK
    int bitsPerSample = 8;
    bool hasLocation = false; // GPS tags in its EXIF, or a location in its XMP
    std::uint64_t bytes = 0;

    bool IsPhoto() const { return !format.isEmpty() || !problem.isEmpty(); }
    // Turned a quarter: its width and height swap once upright.
    bool TurnsQuarter() const { return orientation >= 5 && orientation <= 8; }
    int UprightWidth() const { return TurnsQuarter() ? height : width; }
    int UprightHeight() const { return TurnsQuarter() ? width : height; }
};

// Reads a file's photo facts by its contents; its name counts only for a
// file that is no photo: one named .jpg, .png, .heic, ... has a problem.
PhotoFacts ReadPhotoFacts(const QString& path);

// Whether a file is named as a photo: its extension is that of a picture format.
bool NamedAsPhoto(const QString& path);

// The same of a picture in memory (a song's cover).
PhotoFacts PhotoFactsOf(QByteArrayView bytes);

// A segment of a JPEG: its marker, where it begins (at its marker) and
// ends, and what it holds.
struct JpegSegment {
    std::uint64_t marker = 0;
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArrayView body;
};
// The segments of a JPEG from its start to its first scan, whose segment
// comes last; fewer where the bytes end or stray before it.
std::vector<JpegSegment> JpegSegmentsOf(QByteArrayView jpeg);

// Why a JPEG without its end is refused.
inline const QString kJpegCutShort = QStringLiteral("it is cut short: its JPEG data has no end");

// Whether a JPEG's data ends with its end marker: libjpeg decodes a file
// cut short without an error, filling the rest grey.
bool JpegHasEnd(const QString& path);
