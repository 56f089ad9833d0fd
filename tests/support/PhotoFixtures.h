#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// Photos made at test time with ImageMagick, exiv2 and libheif. Each shows
// the same test picture, so a test can tell which way up it was read.
namespace fixtures {

// Whether the Linux machine has convert, identify, exiv2, heif-info and the
// turned HEIC's writer; a test without them is skipped, or fails where
// QUORVEX_REQUIRE_PHOTO_TOOLS is set.
bool HavePhotoTools();

struct Rgb { int r = 0, g = 0, b = 0; };
// True when each channel is within tolerance of the other's. A colour that
// could not be read (-1) is near none.
bool Near(const Rgb& a, const Rgb& b, int tolerance = 40);

// The test picture as it should be seen upright: white, a blue band along
// the whole top edge (a sixth of the height), and a red square in the
// top-left corner (a quarter of the height) drawn over the band.
// Sizes are of the upright picture.
struct JpegFixture {
    int width = 600, height = 400;  // upright
    int orientation = 0;            // 0: no Orientation tag; 1..8: the pixels are stored so that this EXIF orientation shows the upright picture, and the tag is set
    bool progressive = false;       // SOF2 rather than SOF0
    bool cmyk = false;              // Adobe CMYK
    int quality = 90;
    QString dateTaken;              // "2021:07:14 09:30:00" -> Exif.Photo.DateTimeOriginal; empty: none
    QString offsetTaken;            // "+02:00" -> Exif.Photo.OffsetTimeOriginal; empty: none
    QString make, model, caption;   // Exif.Image.Make / Model / ImageDescription; empty: none
    bool gps = false;               // GPSLatitude/Ref and GPSLongitude/Ref: 48°51'24"N 2°21'3"E
};

// Each writes the file at path (made afresh, its folder too) and returns
// path; an empty string when a tool failed, with its words in the test's log.
// The format is the maker's whatever path's suffix says.
QString Jpeg(const QString& path, const JpegFixture& fixture = {});

// Runs exiv2's modify commands on the photo at path, such as
// "set Exif.Image.Rating 4": path, or empty with exiv2's words in the log.
QString ModifiedByExiv2(const QString& path, const QStringList& commands);

// A PNG of the upright test picture whose right half is transparent (alpha 0)
// and whose bottom-left quarter is half transparent green.
QString PngWithAlpha(const QString& path, int width = 600, int height = 400);
// A 16-bit RGB PNG of the upright test picture.
QString Png16(const QString& path, int width = 600, int height = 400);
// A HEIC of the upright test picture whose pixels are stored turned, with an
// irot box that turns them upright (heif-enc writes none), carrying an EXIF
// block with Orientation 6 as phones write it and DateTimeOriginal dateTaken.
// libheif 1.15 writes the upright size in its ispe, where phones write the
// stored one.
QString HeicTurned(const QString& path, const QString& dateTaken, int width = 600, int height = 400);

// Bad photos
QString TruncatedJpeg(const QString& path);   // an 800x600 JPEG cut at half its bytes, inside its scan: no end marker
QString TextNamedJpeg(const QString& path);   // plain text in a file named as given
// A valid PNG signature and IHDR (correct CRC) claiming that size, over a
// tiny IDAT and IEND.
QString HugePngHeader(const QString& path, int width = 30000, int height = 30000);

// Checks
// Both as ImageMagick reads a file: a JPEG as stored, whatever its
// Orientation; a HEIC turned by its irot, as libheif decodes it.
// The size of an image as identify says; {-1,-1} when it cannot.
QSize SizeOf(const QString& path);
// The colour at x, y (8 bits a channel, alpha left out); -1s when it cannot.
Rgb PixelAt(const QString& path, int x, int y);
// `exiv2 -pa` of a file (its stdout; empty when it has no metadata).
QString ExifOf(const QString& path);
// Whether the JPEG's own marker walk (from SOI through the segments up to the
// first SOS) meets marker (0xC0 for SOF0, 0xC2 for SOF2, 0xE1 for APP1, ...).
bool HasJpegMarker(const QString& path, unsigned char marker);

} // namespace fixtures
