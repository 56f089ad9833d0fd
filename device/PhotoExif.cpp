#include "device/PhotoExif.h"

#include "tags/PhotoFacts.h"

#ifdef QUORVEX_HAVE_LIBEXIF
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>
#endif

#include <cstring>
#include <memory>

namespace {

const QByteArrayView kExifHeader("Exif\0\0", 6);
constexpr qsizetype kMostSegmentBytes = 65533; // a segment's length field counts itself

bool IsExif(const JpegSegment& segment) { return segment.marker == 0xE1 && segment.body.startsWith(kExifHeader); }
bool IsXmp(const JpegSegment& segment)
{
    return segment.marker == 0xE1 && segment.body.startsWith("http://ns.adobe.com/");
}

#ifdef QUORVEX_HAVE_LIBEXIF

struct ExifDataUnref {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifPointer = std::unique_ptr<ExifData, ExifDataUnref>;

// Adds an entry of the data given; the content keeps it.
void AddEntry(ExifData* data, ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned long components,
              const void* bytes)
{
    const unsigned long size = exif_format_get_size(format) * components;
    if (size == 0 || exif_content_get_entry(data->ifd[ifd], tag))
        return;
    ExifMem* memory = exif_mem_new_default();
    ExifEntry* entry = exif_entry_new_mem(memory);
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(memory, static_cast<ExifLong>(size)));
    if (entry->data) {
        std::memcpy(entry->data, bytes, size);
        entry->size = static_cast<unsigned int>(size);
        entry->tag = tag;
        entry->format = format;
        entry->components = components;
        exif_content_add_entry(data->ifd[ifd], entry);
    }
    exif_entry_unref(entry);
    exif_mem_unref(memory);
}

void AddText(ExifData* data, ExifIfd ifd, ExifTag tag, const QByteArray& text)
{
    AddEntry(data, ifd, tag, EXIF_FORMAT_ASCII, static_cast<unsigned long>(text.size()) + 1, text.constData());
}

void AddShort(ExifData* data, ExifIfd ifd, ExifTag tag, ExifShort value)
{
    unsigned char bytes[2];
    exif_set_short(bytes, exif_data_get_byte_order(data), value);
    AddEntry(data, ifd, tag, EXIF_FORMAT_SHORT, 1, bytes);
}

void AddLong(ExifData* data, ExifIfd ifd, ExifTag tag, ExifLong value)
{
    unsigned char bytes[4];
    exif_set_long(bytes, exif_data_get_byte_order(data), value);
    AddEntry(data, ifd, tag, EXIF_FORMAT_LONG, 1, bytes);
}

// Copies the source's entry, if it has one whose size agrees with its format.
bool CopyEntry(ExifData* to, ExifData* from, ExifIfd ifd, ExifTag tag)
{
    const ExifEntry* entry = from ? exif_content_get_entry(from->ifd[ifd], tag) : nullptr;
    if (!entry || !entry->data || entry->size != exif_format_get_size(entry->format) * entry->components)
        return false;
    AddEntry(to, ifd, tag, entry->format, entry->components, entry->data);
    return true;
}

ExifPointer ReadExif(const QByteArray& block)
{
    if (block.isEmpty())
        return nullptr;
    ExifPointer data(exif_data_new());
    // Newer tags, such as the offset of the date taken, are kept too.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(block.constData()),
                        static_cast<unsigned int>(block.size()));
    return data;
}

void AddDateTaken(ExifData* to, ExifData* from, const QDateTime& modified)
{
    const bool taken = CopyEntry(to, from, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
    if (taken) {
        CopyEntry(to, from, EXIF_IFD_EXIF, EXIF_TAG_OFFSET_TIME_ORIGINAL);
        return;
    }
    // Scanners and editors may give only when it was digitised or changed.
    const ExifEntry* other = nullptr;
    if (from) {
        other = exif_content_get_entry(from->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_DIGITIZED);
        if (!other)
            other = exif_content_get_entry(from->ifd[EXIF_IFD_0], EXIF_TAG_DATE_TIME);
    }
    if (other && other->format == EXIF_FORMAT_ASCII && other->size >= 20) {
        AddText(to, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, QByteArray(reinterpret_cast<const char*>(other->data), 19));
        return;
    }
    if (!modified.isValid())
        return;
    AddText(to, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, modified.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1());
    const int offset = modified.offsetFromUtc() / 60;
    AddText(to, EXIF_IFD_EXIF, EXIF_TAG_OFFSET_TIME_ORIGINAL,
            QStringLiteral("%1%2:%3")
                .arg(offset < 0 ? u'-' : u'+')
                .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'))
                .toLatin1());
}

QByteArray ExifBlock(ExifData* from, const QDateTime& modified, QSize size, const PhotoRules& rules,
                     bool withCaption)
{
    ExifPointer to(exif_data_new());
    // Only what is set here: libexif's defaults would add tags of their own.
    exif_data_unset_option(to.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_data_type(to.get(), EXIF_DATA_TYPE_COMPRESSED);
    exif_data_set_byte_order(to.get(), from ? exif_data_get_byte_order(from) : EXIF_BYTE_ORDER_INTEL);
    ExifData* data = to.get();
    CopyEntry(data, from, EXIF_IFD_0, EXIF_TAG_MAKE);
    CopyEntry(data, from, EXIF_IFD_0, EXIF_TAG_MODEL);
    if (withCaption)
        CopyEntry(data, from, EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION);
    AddShort(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1);
    AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_EXIF_VERSION, EXIF_FORMAT_UNDEFINED, 4, "0231");
    if (rules.keepDate)
        AddDateTaken(data, from, modified);
    AddShort(data, EXIF_IFD_EXIF, EXIF_TAG_COLOR_SPACE, 1); // sRGB
    AddLong(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<ExifLong>(size.width()));
    AddLong(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<ExifLong>(size.height()));
    if (rules.keepLocation && from) {
        const ExifContent* gps = from->ifd[EXIF_IFD_GPS];
        for (unsigned int i = 0; i < gps->count; ++i)
            CopyEntry(data, from, EXIF_IFD_GPS, gps->entries[i]->tag);
    }
    unsigned char* bytes = nullptr;
    unsigned int length = 0;
    exif_data_save_data(data, &bytes, &length);
    QByteArray block(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
    free(bytes);
    return block;
}

#endif

} // namespace

QByteArray JpegExifOf(const QByteArray& jpeg)
{
    for (const JpegSegment& segment : JpegSegmentsOf(jpeg)) {
        if (IsExif(segment))
            return segment.body.toByteArray();
    }
    return {};
}

QByteArray FittedExifSegment(const QByteArray& sourceExif, const QDateTime& modified, QSize size,
                             const PhotoRules& rules)
{
#ifdef QUORVEX_HAVE_LIBEXIF
    const ExifPointer from = ReadExif(sourceExif);
    QByteArray block = ExifBlock(from.get(), modified, size, rules, true);
    // A caption that does not fit in one segment is left out, not cut.
    if (block.size() > kMostSegmentBytes)
        block = ExifBlock(from.get(), modified, size, rules, false);
    if (block.isEmpty() || block.size() > kMostSegmentBytes)
        return {};
    const qsizetype length = block.size() + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF));
    return segment + block;
#else
    Q_UNUSED(sourceExif) Q_UNUSED(modified) Q_UNUSED(size) Q_UNUSED(rules)
    return {};
#endif
}

QByteArray WithExifSegment(const QByteArray& jpeg, const QByteArray& segment, const PhotoRules& rules)
{
    const std::vector<JpegSegment> segments = JpegSegmentsOf(jpeg);
    QByteArray made = jpeg.left(2);
    bool placed = false;
    qsizetype at = 2;
    for (const JpegSegment& each : segments) {
        made.append(jpeg.mid(at, each.begin - at)); // fill bytes, standalone markers
        at = each.end;
        const bool jfif = each.marker == 0xE0 && each.body.startsWith(QByteArrayView("JFIF\0", 5));
        if (!jfif && !placed) {
            made.append(segment);
            placed = true;
        }
        if (IsExif(each) || (IsXmp(each) && !rules.keepLocation))
            continue;
        made.append(jpeg.mid(each.begin, each.end - each.begin));
    }
    made.append(jpeg.mid(at));
    return made;
}
