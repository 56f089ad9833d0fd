#include "tags/Rating.h"

#include "tags/PhotoFacts.h"

#include <QByteArrayView>
#include <QFile>
#include <QLatin1String>
#include <QStringList>

#ifdef QUORVEX_HAVE_TAGLIB
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#endif

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Stars on a scale of 0 to 5, to the nearest half; a rating that rounds to
// nothing is still a rating, the lowest.
HalfStars FromStars(double stars)
{
    return static_cast<HalfStars>(std::clamp(std::lround(stars * 2), 1L, static_cast<long>(kFiveStars)));
}

// A decimal number, written plainly ("4", "0.8", "-1"); none for anything
// else, such as "4 stars", "1e1" or "nan", which no tagger writes.
std::optional<double> NumberIn(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype at = trimmed.startsWith(u'-') || trimmed.startsWith(u'+') ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; at < trimmed.size(); ++at) {
        const QChar c = trimmed[at];
        if (c >= u'0' && c <= u'9')
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return {};
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    return digits && ok ? std::optional(value) : std::nullopt;
}

#ifdef QUORVEX_HAVE_TAGLIB

// FMPS: 0.0 to 1.0.
HalfStars FromFmps(const QString& text)
{
    const std::optional<double> value = NumberIn(text);
    return value && *value >= 0 && *value <= 1 ? FromStars(*value * 5) : kUnrated;
}

HalfStars FirstFmps(const QStringList& values)
{
    for (const QString& value : values) {
        if (const HalfStars rating = FromFmps(value))
            return rating;
    }
    return kUnrated;
}

// RATING has no one scale: 0 to 100 where any value of the file is above
// 10, 0 to 1 for a fraction, else whole stars from 1 to 5.
HalfStars FromRatings(const QStringList& values)
{
    const bool percent = std::any_of(values.begin(), values.end(), [](const QString& value) {
        const std::optional<double> number = NumberIn(value);
        return number && *number > 10;
    });
    for (const QString& value : values) {
        const std::optional<double> number = NumberIn(value);
        if (!number)
            continue;
        if (percent) {
            if (*number >= 0 && *number <= 100)
                return FromStars(*number / 20);
        } else if (value.contains(u'.')) {
            if (*number >= 0 && *number <= 1)
                return FromStars(*number * 5);
        } else if (*number >= 1 && *number <= 5) {
            return static_cast<HalfStars>(*number * 2);
        }
    }
    return kUnrated;
}

QString QStringOf(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

QStringList QStringsOf(const TagLib::StringList& texts)
{
    QStringList strings;
    for (const TagLib::String& text : texts)
        strings << QStringOf(text);
    return strings;
}

bool SameKey(const TagLib::String& key, QLatin1String name)
{
    return QStringOf(key).compare(name, Qt::CaseInsensitive) == 0;
}

// The values of every key that is name but for letter case, in the map's
// order; values(item) gives an item's strings.
template <typename Map, typename Values>
QStringList ValuesOf(const Map& map, QLatin1String name, Values values)
{
    QStringList found;
    for (const auto& [key, item] : map) {
        if (SameKey(key, name))
            found << values(item);
    }
    return found;
}

// Xiph comments and APEv2 tags name their ratings alike.
template <typename Map, typename Values>
HalfStars NamedRating(const Map& map, Values values)
{
    if (const HalfStars fmps = FirstFmps(ValuesOf(map, QLatin1String("FMPS_RATING"), values)))
        return fmps;
    return FromRatings(ValuesOf(map, QLatin1String("RATING"), values));
}

HalfStars XiphRating(const TagLib::Ogg::XiphComment* comment)
{
    if (!comment)
        return kUnrated;
    return NamedRating(comment->fieldListMap(), [](const TagLib::StringList& values) { return QStringsOf(values); });
}

HalfStars ApeRating(const TagLib::APE::Tag* tag)
{
    if (!tag)
        return kUnrated;
    return NamedRating(tag->itemListMap(), [](const TagLib::APE::Item& item) {
        return item.type() == TagLib::APE::Item::Text ? QStringsOf(item.values()) : QStringList();
    });
}

// Windows reads POPM's byte by these ranges, which the values players write
// for whole stars (1, 64, 128, 196, 255 and others' 192, 252) fall within.
HalfStars FromPopularimeter(int value)
{
    if (value <= 0 || value > 255)
        return kUnrated;
    const int stars = value < 32 ? 1 : value < 96 ? 2 : value < 160 ? 3 : value < 224 ? 4 : 5;
    return static_cast<HalfStars>(stars * 2);
}

HalfStars Id3v2Rating(TagLib::ID3v2::Tag* tag)
{
    if (!tag)
        return kUnrated;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
        const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        // Its fields begin with its description, which is no number.
        if (text && SameKey(text->description(), QLatin1String("FMPS_Rating"))) {
            if (const HalfStars rating = FirstFmps(QStringsOf(text->fieldList())))
                return rating;
        }
    }
    // One for each player, under its own e-mail; zero from one that did not rate it.
    for (TagLib::ID3v2::Frame* frame : tag->frameList("POPM")) {
        const auto* popularimeter = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame*>(frame);
        if (const HalfStars rating = popularimeter ? FromPopularimeter(popularimeter->rating()) : kUnrated)
            return rating;
    }
    return kUnrated;
}

// An item's text: its strings, or the bytes of a freeform item not marked as text.
QStringList Mp4Values(const TagLib::MP4::Item& item)
{
    QStringList values = QStringsOf(item.toStringList());
    if (!values.isEmpty())
        return values;
    for (const TagLib::ByteVector& bytes : item.toByteVectorList())
        values << QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return values;
}

HalfStars Mp4Rating(const TagLib::MP4::Tag* tag)
{
    if (!tag)
        return kUnrated;
    const TagLib::MP4::ItemMap& items = tag->itemMap();
    if (const HalfStars fmps = FirstFmps(ValuesOf(items, QLatin1String("----:com.apple.iTunes:FMPS_Rating"), Mp4Values)))
        return fmps;
    for (const auto& [key, item] : items) {
        if (!SameKey(key, QLatin1String("rate")))
            continue;
        // TagLib reads it as text, or as a number where it was written as one.
        QStringList values = Mp4Values(item);
        if (values.isEmpty())
            values << QString::number(item.toInt());
        for (const QString& value : values) {
            const std::optional<double> percent = NumberIn(value);
            if (percent && *percent >= 0 && *percent <= 100)
                return FromStars(*percent / 20);
        }
    }
    return kUnrated;
}

#endif

// --- Photos -----------------------------------------------------------------

// Where cameras and photo tools put their EXIF and XMP blocks: before the
// frame header, well within this.
constexpr qint64 kPhotoHeadBytes = 256 * 1024;

// A TIFF number in its byte order; none past the end of tiff.
std::optional<std::uint32_t> TiffNumber(QByteArrayView tiff, std::uint64_t at, int size, bool littleEndian)
{
    if (at > static_cast<std::uint64_t>(tiff.size()) || static_cast<std::uint64_t>(tiff.size()) - at < static_cast<std::uint64_t>(size))
        return {};
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(tiff[static_cast<qsizetype>(at) + (littleEndian ? size - 1 - i : i)]);
        value = value << 8 | byte;
    }
    return value;
}

// EXIF's Rating, tag 0x4746 in the first directory: 1 to 5 stars, 0 unrated.
HalfStars ExifRating(QByteArrayView exif)
{
    const QByteArrayView tiff = exif.sliced(6); // past "Exif\0\0"
    if (!tiff.startsWith("II") && !tiff.startsWith("MM"))
        return kUnrated;
    const bool little = tiff.startsWith("II");
    const std::optional<std::uint32_t> directory = TiffNumber(tiff, 4, 4, little);
    const std::optional<std::uint32_t> entries = directory ? TiffNumber(tiff, *directory, 2, little) : std::nullopt;
    if (!entries)
        return kUnrated;
    for (std::uint64_t entry = *directory + 2ULL, end = entry + 12ULL * *entries; entry < end; entry += 12) {
        const std::optional<std::uint32_t> tag = TiffNumber(tiff, entry, 2, little);
        const std::optional<std::uint32_t> type = TiffNumber(tiff, entry + 2, 2, little);
        const std::optional<std::uint32_t> count = TiffNumber(tiff, entry + 4, 4, little);
        if (!tag || !type || !count)
            return kUnrated; // the directory runs past the block
        if (*tag != 0x4746)
            continue;
        // A SHORT as written, or a LONG, held in the entry itself.
        const int size = *type == 3 ? 2 : *type == 4 ? 4 : 0;
        const std::optional<std::uint32_t> stars = size && *count == 1 ? TiffNumber(tiff, entry + 8, size, little) : std::nullopt;
        return stars && *stars >= 1 && *stars <= 5 ? static_cast<HalfStars>(*stars * 2) : kUnrated;
    }
    return kUnrated;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text of the xmp:Rating met at name in xmp, as an attribute
// (xmp:Rating="3") or an element (<xmp:Rating>3</xmp:Rating>).
std::optional<QString> XmpValueAt(QLatin1String xmp, qsizetype name, qsizetype after)
{
    if (name == 0)
        return {};
    const char before = xmp[name - 1].toLatin1();
    qsizetype at = after;
    if (before == '<') { // an element: its text after its start tag
        const qsizetype open = xmp.indexOf(u'>', at);
        if (open < 0 || xmp[open - 1] == u'/')
            return {};
        const qsizetype close = xmp.indexOf(u'<', open + 1);
        return close < 0 ? std::nullopt : std::optional(QString(xmp.sliced(open + 1, close - open - 1)));
    }
    if (!IsSpace(before))
        return {};
    while (at < xmp.size() && IsSpace(xmp[at].toLatin1()))
        ++at;
    if (at >= xmp.size() || xmp[at] != u'=')
        return {};
    ++at;
    while (at < xmp.size() && IsSpace(xmp[at].toLatin1()))
        ++at;
    if (at >= xmp.size() || (xmp[at] != u'"' && xmp[at] != u'\''))
        return {};
    const qsizetype close = xmp.indexOf(xmp[at], at + 1);
    return close < 0 ? std::nullopt : std::optional(QString(xmp.sliced(at + 1, close - at - 1)));
}

// XMP's xmp:Rating: 1 to 5 stars (in halves too), 0 unrated, -1 rejected,
// which still ranks it, lowest.
HalfStars XmpRating(QByteArrayView packet)
{
    const QLatin1String xmp(packet.data(), packet.size());
    const QLatin1String property("xmp:Rating");
    for (qsizetype name = xmp.indexOf(property, 0, Qt::CaseInsensitive); name >= 0;
         name = xmp.indexOf(property, name + 1, Qt::CaseInsensitive)) {
        const std::optional<QString> text = XmpValueAt(xmp, name, name + property.size());
        const std::optional<double> value = text ? NumberIn(*text) : std::nullopt;
        if (!value)
            continue;
        if (*value == -1)
            return 1;
        return *value > 0 && *value <= 5 ? FromStars(*value) : kUnrated;
    }
    return kUnrated;
}

} // namespace

#ifdef QUORVEX_HAVE_TAGLIB

HalfStars SongRatingOf(TagLib::File& file)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file))
        return Id3v2Rating(mpeg->ID3v2Tag());
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file))
        return XiphRating(flac->xiphComment());
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file))
        return Mp4Rating(mp4->tag());
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(&file))
        return ApeRating(ape->APETag());
    if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(&file))
        return ApeRating(wavPack->APETag());
    if (auto* musepack = dynamic_cast<TagLib::MPC::File*>(&file))
        return ApeRating(musepack->APETag());
    // Other kinds that carry ID3v2, which taggers write POPM into as into an MP3's.
    if (auto* trueAudio = dynamic_cast<TagLib::TrueAudio::File*>(&file))
        return Id3v2Rating(trueAudio->ID3v2Tag());
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
        return wav->hasID3v2Tag() ? Id3v2Rating(wav->ID3v2Tag()) : kUnrated;
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        return aiff->hasID3v2Tag() ? Id3v2Rating(aiff->tag()) : kUnrated;
    // Vorbis, Opus, Speex and FLAC in Ogg.
    return XiphRating(dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag()));
}

#endif

HalfStars ReadPhotoRating(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kUnrated;
    const QByteArray head = file.read(kPhotoHeadBytes);
    if (!head.startsWith("\xFF\xD8\xFF"))
        return kUnrated;
    const std::vector<JpegSegment> segments = JpegSegmentsOf(head);
    for (const JpegSegment& segment : segments) {
        if (segment.marker == 0xE1 && segment.body.startsWith(QByteArrayView("Exif\0\0", 6))) {
            if (const HalfStars rating = ExifRating(segment.body))
                return rating;
        }
    }
    const QByteArrayView xmpName("http://ns.adobe.com/xap/1.0/\0", 29);
    for (const JpegSegment& segment : segments) {
        if (segment.marker == 0xE1 && segment.body.startsWith(xmpName)) {
            if (const HalfStars rating = XmpRating(segment.body.sliced(xmpName.size())))
                return rating;
        }
    }
    return kUnrated;
}
