#include "tags/PhotoFacts.h"

#include "tags/ByteReader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <optional>

namespace {

// Enough for the segments before a JPEG's frame header as cameras and
// phones write them; a file whose header lies further is read again, to
// this much more.
constexpr qint64 kHeadBytes = 256 * 1024;
constexpr qint64 kLongHeadBytes = 16 * 1024 * 1024;

const QStringList& PhotoSuffixes()
{
    static const QStringList suffixes = {"jpg", "jpeg", "jpe", "jfif", "png", "bmp", "gif", "heic", "heif", "hif", "avif"};
    return suffixes;
}

// SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsStartOfFrame(std::uint64_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM, RST0 to RST7, SOI.
bool IsStandaloneMarker(std::uint64_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8); }

// A TIFF number in the byte order its header gave.
std::uint32_t TiffNumber(QByteArrayView tiff, qsizetype at, int size, bool littleEndian)
{
    if (at < 0 || at + size > tiff.size())
        return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(tiff[at + (littleEndian ? size - 1 - i : i)]);
        value = value << 8 | byte;
    }
    return value;
}

// The orientation and whether a GPS directory is there, from an EXIF
// block's first directory.
void ReadExif(QByteArrayView exif, PhotoFacts& facts)
{
    const QByteArrayView tiff = exif.sliced(6); // past "Exif\0\0"
    if (tiff.size() < 8 || !(tiff.startsWith("II") || tiff.startsWith("MM")))
        return;
    const bool little = tiff[0] == 'I';
    const std::uint32_t directory = TiffNumber(tiff, 4, 4, little);
    const std::uint32_t entries = TiffNumber(tiff, directory, 2, little);
    for (std::uint32_t i = 0; i < entries && i < 1000; ++i) {
        const qsizetype entry = directory + 2 + 12 * i;
        if (entry + 12 > tiff.size())
            return;
        const std::uint32_t tag = TiffNumber(tiff, entry, 2, little);
        if (tag == 0x0112) {
            const std::uint32_t orientation = TiffNumber(tiff, entry + 8, 2, little);
            facts.orientation = orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
        } else if (tag == 0x8825 && TiffNumber(tiff, entry + 8, 4, little) != 0) {
            facts.hasLocation = true;
        }
    }
}

bool IsXmpWithLocation(QByteArrayView segment)
{
    return segment.startsWith("http://ns.adobe.com/xap/1.0/") && QByteArrayView(segment).indexOf("GPSLatitude") >= 0;
}

// The facts of the segments up to the frame header. False when neither the
// frame header nor the scan lies within the bytes given.
bool ReadJpeg(QByteArrayView bytes, PhotoFacts& facts)
{
    for (const JpegSegment& segment : JpegSegmentsOf(bytes)) {
        if (segment.marker == 0xE1 && segment.body.startsWith(QByteArrayView("Exif\0\0", 6)))
            ReadExif(segment.body, facts);
        else if (segment.marker == 0xE1 && IsXmpWithLocation(segment.body))
            facts.hasLocation = true;
        if (segment.marker == 0xDA)
            return true; // the scan, with no frame header before
        if (IsStartOfFrame(segment.marker)) {
            ByteReader frame(segment.body);
            const std::uint64_t precision = frame.Number(1);
            facts.height = static_cast<int>(frame.Number(2));
            facts.width = static_cast<int>(frame.Number(2));
            facts.components = static_cast<int>(frame.Number(1));
            facts.bitsPerSample = static_cast<int>(precision);
            facts.baseline = (segment.marker == 0xC0 || segment.marker == 0xC1) && precision == 8;
            if (frame.Ok())
                facts.format = QStringLiteral("jpeg");
            return true;
        }
    }
    return false;
}

void ReadPng(QByteArrayView bytes, PhotoFacts& facts)
{
    ByteReader reader(bytes);
    reader.Skip(8 + 4); // the signature, IHDR's length
    const bool header = reader.Take(4) == "IHDR";
    const std::uint64_t width = reader.Number(4);
    const std::uint64_t height = reader.Number(4);
    const std::uint64_t depth = reader.Number(1);
    if (!reader.Ok() || !header || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return;
    facts.format = QStringLiteral("png");
    facts.width = static_cast<int>(width);
    facts.height = static_cast<int>(height);
    facts.bitsPerSample = static_cast<int>(depth);
}

std::int64_t LittleEndian(QByteArrayView bytes, qsizetype at, int size)
{
    std::int64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void ReadBmp(QByteArrayView bytes, PhotoFacts& facts)
{
    if (bytes.size() < 26)
        return;
    const std::int64_t width = static_cast<std::int32_t>(LittleEndian(bytes, 18, 4));
    const std::int64_t height = static_cast<std::int32_t>(LittleEndian(bytes, 22, 4)); // below 0: stored top down
    if (width <= 0 || height == 0 || height == INT_MIN)
        return;
    facts.format = QStringLiteral("bmp");
    facts.width = static_cast<int>(width);
    facts.height = static_cast<int>(height < 0 ? -height : height);
}

void ReadGif(QByteArrayView bytes, PhotoFacts& facts)
{
    if (bytes.size() < 10)
        return;
    facts.format = QStringLiteral("gif");
    facts.width = static_cast<int>(LittleEndian(bytes, 6, 2));
    facts.height = static_cast<int>(LittleEndian(bytes, 8, 2));
}

// HEIF's own brands, HEIC's among them; the size is read by libheif when
// it is decoded.
bool IsHeif(QByteArrayView bytes)
{
    if (bytes.size() < 12 || bytes.sliced(4, 4) != "ftyp")
        return false;
    const QByteArrayView brand = bytes.sliced(8, 4);
    for (const char* heif : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif"}) {
        if (brand == heif)
            return true;
    }
    return false;
}

// The facts of what the bytes begin with; false when a JPEG's frame header
// lies beyond them.
bool ReadHead(QByteArrayView bytes, PhotoFacts& facts)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return ReadJpeg(bytes, facts);
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        ReadPng(bytes, facts);
    else if (bytes.startsWith("BM"))
        ReadBmp(bytes, facts);
    else if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        ReadGif(bytes, facts);
    else if (IsHeif(bytes))
        facts.format = QStringLiteral("heif");
    return true;
}

} // namespace

std::vector<JpegSegment> JpegSegmentsOf(QByteArrayView jpeg)
{
    std::vector<JpegSegment> segments;
    ByteReader reader(jpeg);
    reader.Skip(2);
    while (reader.Ok()) {
        const qsizetype begin = jpeg.size() - reader.Left();
        if (reader.Number(1) != 0xFF)
            break;
        std::uint64_t marker = reader.Number(1);
        while (marker == 0xFF && reader.Ok()) // fill bytes
            marker = reader.Number(1);
        if (!reader.Ok() || marker == 0xD9)
            break;
        if (IsStandaloneMarker(marker))
            continue;
        const std::uint64_t length = reader.Number(2);
        const QByteArrayView body = reader.Take(length < 2 ? ~std::uint64_t {0} : length - 2);
        if (!reader.Ok())
            break;
        segments.push_back({marker, begin, jpeg.size() - reader.Left(), body});
        if (marker == 0xDA)
            break;
    }
    return segments;
}

PhotoFacts PhotoFactsOf(QByteArrayView bytes)
{
    PhotoFacts facts;
    facts.bytes = static_cast<std::uint64_t>(bytes.size());
    ReadHead(bytes, facts);
    return facts;
}

bool NamedAsPhoto(const QString& path)
{
    return PhotoSuffixes().contains(QFileInfo(path).suffix().toLower());
}

PhotoFacts ReadPhotoFacts(const QString& path)
{
    PhotoFacts facts;
    QFile file(path);
    const bool named = NamedAsPhoto(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (named)
            facts.problem = QStringLiteral("it cannot be read: %1").arg(file.errorString());
        return facts;
    }
    facts.bytes = static_cast<std::uint64_t>(file.size());
    QByteArray head = file.read(kHeadBytes);
    if (!ReadHead(head, facts) && file.size() > head.size()) {
        facts = {};
        facts.bytes = static_cast<std::uint64_t>(file.size());
        file.seek(0);
        head = file.read(kLongHeadBytes);
        ReadHead(head, facts);
    }
    if (!facts.format.isEmpty() || !named)
        return facts;
    if (facts.bytes == 0)
        facts.problem = QStringLiteral("it is empty");
    else if (head.startsWith("\xFF\xD8"))
        facts.problem = QStringLiteral("it is a damaged JPEG");
    else
        facts.problem = QStringLiteral("it is named as a photo but holds none");
    return facts;
}

bool JpegHasEnd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // From the first scan on: a thumbnail in the EXIF block before it has
    // an end marker of its own. The marker cannot occur inside the coded
    // data, where every FF is followed by 00 or a restart marker; data some
    // phones append after it (a motion photo's video) is no matter.
    const std::vector<JpegSegment> segments = JpegSegmentsOf(file.read(kLongHeadBytes));
    if (segments.empty() || segments.back().marker != 0xDA)
        return false;
    constexpr qint64 kChunk = 1024 * 1024;
    file.seek(segments.back().end);
    QByteArray carried;
    while (!file.atEnd()) {
        const QByteArray chunk = carried + file.read(kChunk);
        if (chunk.isEmpty() || chunk.indexOf("\xFF\xD9") >= 0)
            return !chunk.isEmpty();
        carried = chunk.right(1);
    }
    return false;
}
