#include "window/PointerImage.h"

#include "core/Failure.h"
#include "core/PathHelpers.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

namespace {

constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;
constexpr quint16 kCursorType = 2;

quint16 ReadWord(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

} // namespace

QPoint CursorHotspot(const QByteArray& cursorFile)
{
    if (cursorFile.size() < kDirectorySize + kEntrySize)
        return {-1, -1};
    if (ReadWord(cursorFile, 0) != 0 || ReadWord(cursorFile, 2) != kCursorType || ReadWord(cursorFile, 4) == 0)
        return {-1, -1};
    // In a cursor file the first entry's planes and bit-count words hold
    // the hot spot.
    return {ReadWord(cursorFile, kDirectorySize + 4), ReadWord(cursorFile, kDirectorySize + 6)};
}

QCursor LoadPointerImage(const QString& path)
{
    QFile file;
    OpenForReading(file, path);
    const QByteArray data = file.readAll();
    const QImage image = QImage::fromData(data);
    if (image.isNull())
        throw Failure(QStringLiteral("Invalid picture: ") + path);
    const QPoint hotspot = CursorHotspot(data);
    return QCursor(QPixmap::fromImage(image), hotspot.x(), hotspot.y());
}

QIcon ApplicationIcon() { return QIcon(QStringLiteral(":/icons/quorvex.png")); }
