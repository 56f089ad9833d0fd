#pragma once

#include "device/DeviceProfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>

// The EXIF block of a JPEG ("Exif\0\0" and what follows, as its APP1
// segment holds it); empty when it has none before its first scan.
QByteArray JpegExifOf(const QByteArray& jpeg);

// The APP1 segment a fitted photo carries, built afresh from the source's
// EXIF block (which may be empty): its date taken (or, without one, the
// file's modification time) with its offset, the camera's make and model,
// the caption, its new size, orientation 1, and its location only where
// the profile keeps it. Empty where this build cannot write EXIF.
QByteArray FittedExifSegment(const QByteArray& sourceExif, const QDateTime& modified, QSize size,
                             const PhotoRules& rules);

// jpeg with segment just after its start (after a JFIF header, where it has
// one), its own EXIF blocks taken out, and its XMP blocks too where they
// may hold a location the profile drops.
QByteArray WithExifSegment(const QByteArray& jpeg, const QByteArray& segment, const PhotoRules& rules);
