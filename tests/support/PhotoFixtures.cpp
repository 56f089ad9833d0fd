#include "PhotoFixtures.h"
#include "RunTool.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <optional>

namespace fixtures {

namespace {


// Puts why path could not be made in the test's log: the empty path.
QString Fail(const QString& path, const QString& why)
{
    ADD_FAILURE() << path.toStdString() << ": " << why.toStdString();
    return {};
}

// Readies path to be written afresh: its folder made, an old file gone.
void Fresh(const QString& path)
{
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
}

// Runs program to write path: path, or empty with its words in the test's log.
QString Make(const QString& path, const QString& program, const QStringList& arguments)
{
    const QString problem = RunTool(program, arguments);
    return problem.isEmpty() ? path : Fail(path, problem);
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size())
        return path;
    return Fail(path, file.errorString());
}

// convert's arguments that draw the upright test picture. Without
// antialiasing its edges stay pure red, blue and white.
QStringList Picture(int width, int height)
{
    return {"-size", QStringLiteral("%1x%2").arg(width).arg(height), "xc:white", "+antialias",
            "-fill", "blue", "-draw", QStringLiteral("rectangle 0,0 %1,%2").arg(width - 1).arg(height / 6 - 1),
            "-fill", "red",  "-draw", QStringLiteral("rectangle 0,0 %1,%1").arg(height / 4 - 1)};
}

// The payload of the first segment with marker on the walk from SOI up to
// the first SOS (empty for a marker without one); none when not met.
std::optional<QByteArray> JpegSegment(const QByteArray& bytes, unsigned char marker)
{
    if (bytes.size() < 2 || quint8(bytes[0]) != 0xFF || quint8(bytes[1]) != 0xD8)
        return std::nullopt;
    if (marker == 0xD8)
        return QByteArray();
    qsizetype at = 2;
    while (at + 1 < bytes.size() && quint8(bytes[at]) == 0xFF) {
        const quint8 found = quint8(bytes[at + 1]);
        if (found == 0xFF) { // fill before a marker
            ++at;
            continue;
        }
        at += 2;
        const bool bare = found == 0x01 || (found >= 0xD0 && found <= 0xD9); // TEM, RSTn, SOI, EOI
        const qsizetype length = bare || at + 2 > bytes.size() ? 0 : quint8(bytes[at]) << 8 | quint8(bytes[at + 1]);
        if (!bare && (length < 2 || at + length > bytes.size()))
            return std::nullopt; // cut inside the segment
        if (found == marker)
            return bare ? QByteArray() : bytes.mid(at + 2, length - 2);
        if (found == 0xDA || found == 0xD9)
            return std::nullopt;
        at += length;
    }
    return std::nullopt;
}

// The program that writes a turned HEIC (support/TurnedHeic.cpp), built
// for the Linux machine.
QString TurnedHeicMaker()
{
    const QString given = qEnvironmentVariable("QUORVEX_TURNED_HEIC");
#ifdef QUORVEX_TURNED_HEIC
    return given.isEmpty() ? QStringLiteral(QUORVEX_TURNED_HEIC) : given;
#else
    return given;
#endif
}

// A PNG chunk: length, type, data and the CRC-32 of type and data.
QByteArray PngChunk(const QByteArray& type, const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : type + data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    QByteArray chunk;
    QDataStream out(&chunk, QIODevice::WriteOnly); // big-endian
    out << quint32(data.size());
    out.writeRawData(type.constData(), 4);
    out.writeRawData(data.constData(), static_cast<int>(data.size()));
    out << ~crc;
    return chunk;
}

} // namespace

bool HavePhotoTools()
{
    for (const char* tool : {"convert", "identify", "exiv2", "heif-info"})
        if (HostTool(QString::fromLatin1(tool)).isEmpty())
            return false;
    return !HostTool(TurnedHeicMaker()).isEmpty();
}

bool Near(const Rgb& a, const Rgb& b, int tolerance)
{
    const bool read = a.r >= 0 && a.g >= 0 && a.b >= 0 && b.r >= 0 && b.g >= 0 && b.b >= 0;
    return read && std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance
        && std::abs(a.b - b.b) <= tolerance;
}

QString Jpeg(const QString& path, const JpegFixture& fixture)
{
    Fresh(path);
    // The pixels for each orientation: the undoing of what a viewer does for it.
    static const QList<QStringList> kStored {{}, {}, {"-flop"}, {"-rotate", "180"}, {"-flip"}, {"-transpose"},
                                             {"-rotate", "270"}, {"-transverse"}, {"-rotate", "90"}};
    if (fixture.orientation < 0 || fixture.orientation > 8)
        return Fail(path, QStringLiteral("no orientation %1").arg(fixture.orientation));
    QStringList convert = Picture(fixture.width, fixture.height) + kStored[fixture.orientation]
                        + QStringList {"-quality", QString::number(fixture.quality)};
    if (fixture.progressive)
        convert << "-interlace" << "JPEG";
    if (fixture.cmyk)
        convert << "-colorspace" << "CMYK";
    // The prefix keeps it a JPEG whatever the name says.
    if (Make(path, QStringLiteral("convert"), convert << QStringLiteral("jpg:") + HostPath(path)).isEmpty())
        return {};

    // Each with its type, lest a value's first word be taken for one.
    QStringList exiv2;
    const auto set = [&exiv2](const char* key, const char* type, const QString& value) {
        if (!value.isEmpty())
            exiv2 << "-M" << QStringLiteral("set %1 %2 %3").arg(QLatin1String(key), QLatin1String(type), value);
    };
    set("Exif.Image.Orientation", "Short", fixture.orientation ? QString::number(fixture.orientation) : QString());
    set("Exif.Photo.DateTimeOriginal", "Ascii", fixture.dateTaken);
    set("Exif.Photo.OffsetTimeOriginal", "Ascii", fixture.offsetTaken);
    set("Exif.Image.Make", "Ascii", fixture.make);
    set("Exif.Image.Model", "Ascii", fixture.model);
    set("Exif.Image.ImageDescription", "Ascii", fixture.caption);
    if (fixture.gps) { // Paris
        set("Exif.GPSInfo.GPSLatitude", "Rational", QStringLiteral("48/1 51/1 24/1"));
        set("Exif.GPSInfo.GPSLatitudeRef", "Ascii", QStringLiteral("N"));
        set("Exif.GPSInfo.GPSLongitude", "Rational", QStringLiteral("2/1 21/1 3/1"));
        set("Exif.GPSInfo.GPSLongitudeRef", "Ascii", QStringLiteral("E"));
    }
    return exiv2.isEmpty() ? path : Make(path, QStringLiteral("exiv2"), exiv2 << HostPath(path));
}

QString ModifiedByExiv2(const QString& path, const QStringList& commands)
{
    QStringList arguments;
    for (const QString& command : commands)
        arguments << "-M" << command;
    return Make(path, QStringLiteral("exiv2"), arguments << HostPath(path));
}

QString PngWithAlpha(const QString& path, int width, int height)
{
    Fresh(path);
    // Copy puts the patches' alpha in place, where a fill would blend.
    const int left = width / 2, top = height / 2;
    const QString clear = QStringLiteral("%1x%2").arg(width - left).arg(height);
    const QString green = QStringLiteral("%1x%2").arg(left).arg(height - top);
    return Make(path, QStringLiteral("convert"),
                Picture(width, height)
                    + QStringList {"-alpha", "set", "-compose", "Copy",
                                   "(", "-size", clear, "xc:none", ")", "-geometry", QStringLiteral("+%1+0").arg(left),
                                   "-composite",
                                   "(", "-size", green, "xc:rgba(0,255,0,0.5)", ")",
                                   "-geometry", QStringLiteral("+0+%1").arg(top), "-composite",
                                   QStringLiteral("png32:") + HostPath(path)});
}

QString Png16(const QString& path, int width, int height)
{
    Fresh(path);
    // png48 keeps 16 bits a channel even where 8 would hold the colours.
    return Make(path, QStringLiteral("convert"),
                Picture(width, height) + QStringList {"-depth", "16", QStringLiteral("png48:") + HostPath(path)});
}

QString HeicTurned(const QString& path, const QString& dateTaken, int width, int height)
{
    Fresh(path);
    // Stored as orientation 6 wants them: turned a quarter anticlockwise.
    QByteArray rgb;
    const QStringList turned {"-rotate", "270", "-depth", "8", "rgb:-"};
    const QString problem = RunTool(QStringLiteral("convert"), Picture(width, height) + turned, &rgb);
    if (!problem.isEmpty())
        return Fail(path, problem);
    if (rgb.size() != qsizetype(width) * height * 3)
        return Fail(path, QStringLiteral("convert gave %1 bytes of pixels").arg(rgb.size()));
    // The EXIF block (from "Exif\0\0") that exiv2 writes into a small JPEG.
    const QString carrier = path + QStringLiteral(".exif.jpg");
    JpegFixture tags;
    tags.width = tags.height = 16;
    tags.orientation = 6;
    tags.dateTaken = dateTaken;
    const bool tagged = !Jpeg(carrier, tags).isEmpty();
    const std::optional<QByteArray> exif = JpegSegment(ReadBytes(carrier), 0xE1);
    QFile::remove(carrier);
    if (!tagged)
        return {};
    if (!exif || !exif->startsWith(QByteArray("Exif\0\0", 6)))
        return Fail(path, QStringLiteral("exiv2 wrote no EXIF block"));
    const QString pixels = path + QStringLiteral(".rgb");
    const QString block = path + QStringLiteral(".exif");
    const bool written = !WriteBytes(pixels, rgb).isEmpty() && !WriteBytes(block, *exif).isEmpty();
    const QString encoding = written ? RunTool(TurnedHeicMaker(), {HostPath(pixels), QString::number(height),
                                                                   QString::number(width), HostPath(block), HostPath(path)})
                                     : QString();
    QFile::remove(pixels);
    QFile::remove(block);
    if (!written)
        return {};
    if (!encoding.isEmpty())
        return Fail(path, encoding);
    // A libheif to come may write the turn some other way.
    QByteArray boxes;
    if (const QString dump = RunTool(QStringLiteral("heif-info"), {"-d", HostPath(path)}, &boxes); !dump.isEmpty())
        return Fail(path, dump);
    return boxes.contains("Box: irot") ? path : Fail(path, QStringLiteral("has no irot box"));
}

QString TruncatedJpeg(const QString& path)
{
    JpegFixture fixture;
    fixture.width = 800;
    fixture.height = 600;
    if (Jpeg(path, fixture).isEmpty())
        return {};
    QByteArray bytes = ReadBytes(path);
    bytes.truncate(bytes.size() / 2);
    // The cut must fall in the picture's data, past its headers.
    if (!JpegSegment(bytes, 0xDA))
        return Fail(path, QStringLiteral("half of it ends before its scan"));
    return WriteBytes(path, bytes);
}

QString TextNamedJpeg(const QString& path)
{
    Fresh(path);
    return WriteBytes(path, "These are notes from the trip, not a photo.\n");
}

QString HugePngHeader(const QString& path, int width, int height)
{
    Fresh(path);
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    // 8-bit RGB, deflate, no interlacing.
    out << quint32(width) << quint32(height) << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
    // qCompress puts the length before its zlib stream.
    const QByteArray idat = qCompress(QByteArray(64, '\0')).mid(4);
    return WriteBytes(path, QByteArray("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", idat)
                                + PngChunk("IEND", {}));
}

QSize SizeOf(const QString& path)
{
    QByteArray output;
    if (!RunTool(QStringLiteral("identify"), {"-format", "%w %h\n", HostPath(path)}, &output).isEmpty())
        return {-1, -1};
    const QList<QByteArray> numbers = output.left(output.indexOf('\n')).split(' ');
    bool wide = false, high = false;
    const QSize size(numbers.value(0).toInt(&wide), numbers.value(1).toInt(&high));
    return wide && high ? size : QSize(-1, -1);
}

Rgb PixelAt(const QString& path, int x, int y)
{
    // sRGB, so a CMYK JPEG gives its colour and not its inks; +repage, so x, y
    // count from the stored pixels' corner whatever offset the file keeps.
    QByteArray rgb;
    const QString crop = QStringLiteral("1x1+%1+%2").arg(x).arg(y);
    const QString problem = RunTool(QStringLiteral("convert"), {HostPath(path), "+repage", "-colorspace", "sRGB", "-crop", crop,
                                                            "+repage", "-depth", "8", "rgb:-"}, &rgb);
    if (problem.isEmpty() && rgb.size() >= 3)
        return {quint8(rgb[0]), quint8(rgb[1]), quint8(rgb[2])};
    std::cerr << path.toStdString() << " at " << x << ", " << y << ": " << problem.toStdString() << '\n';
    return {-1, -1, -1};
}

QString ExifOf(const QString& path)
{
    // exiv2 fails where a file has no metadata: that is an empty answer.
    QByteArray output;
    RunTool(QStringLiteral("exiv2"), {"-pa", HostPath(path)}, &output);
    return QString::fromUtf8(output);
}

bool HasJpegMarker(const QString& path, unsigned char marker)
{
    return JpegSegment(ReadBytes(path), marker).has_value();
}

} // namespace fixtures
