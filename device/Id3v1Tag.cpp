#include "device/Id3v1Tag.h"

#include "randomlist/DestinationVolumes.h"

#include <QFile>

#ifdef QUORVEX_HAVE_TAGLIB
#include "tags/TagLibName.h"

#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>
#endif

#include <optional>

namespace {

#ifdef QUORVEX_HAVE_TAGLIB

// An ID3v1 tag is the last 128 bytes of the file.
constexpr qint64 kId3v1Size = 128;

// A string of Latin-1 characters alone, which TagLib's default ID3v1
// handler writes byte for byte.
TagLib::String Latin1String(const QString& text)
{
    const QByteArray latin1 = Latin1Folded(text);
    return TagLib::String(std::string(latin1.constData(), static_cast<std::size_t>(latin1.size())),
                          TagLib::String::Latin1);
}

void SetTags(TagLib::ID3v1::Tag& id3v1, const AudioTags& tags)
{
    id3v1.setTitle(Latin1String(tags.title));
    id3v1.setArtist(Latin1String(tags.artist));
    id3v1.setAlbum(Latin1String(tags.album));
    id3v1.setGenre(Latin1String(tags.genre));
    id3v1.setYear(tags.year);
    id3v1.setTrack(tags.track);
}

// Sets the ID3v1 tag and saves it alone: the bytes it should have written
// (none for a tag left empty, which is taken away instead), or nothing when
// the file cannot be written.
std::optional<QByteArray> SaveId3v1(const QString& mp3File, const AudioTags& tags)
{
    const NativeName name = NativeNameOf(mp3File);
    TagLib::MPEG::File file(TagLibName(name));
    if (!file.isValid() || file.readOnly())
        return {};
    TagLib::ID3v1::Tag& id3v1 = *file.ID3v1Tag(true);
    SetTags(id3v1, tags);
    const TagLib::ByteVector rendered = id3v1.isEmpty() ? TagLib::ByteVector() : id3v1.render();
    if (!file.save(TagLib::MPEG::File::ID3v1, TagLib::MPEG::File::StripNone, TagLib::ID3v2::v3,
                   TagLib::MPEG::File::DoNotDuplicate))
        return {};
    return QByteArray(rendered.data(), static_cast<qsizetype>(rendered.size()));
}

QByteArray LastBytes(const QString& path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < count || !file.seek(file.size() - count))
        return {};
    return file.read(count);
}

#endif

} // namespace

QByteArray Latin1Folded(const QString& text)
{
    QByteArray latin1;
    // Composed first, so that an e and its accent become the é Latin-1 holds.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    for (const char32_t point : composed.toUcs4()) {
        if (point < 0x100)
            latin1 += static_cast<char>(point);
        else
            latin1 += AsciiName(QString::fromUcs4(&point, 1)).toLatin1();
    }
    return latin1;
}

bool WriteLatin1Id3v1(const QString& mp3File, const AudioTags& tags)
{
#ifdef QUORVEX_HAVE_TAGLIB
    const std::optional<QByteArray> expected = SaveId3v1(mp3File, tags);
    if (!expected)
        return false;
    // TagLib says nothing of a write that failed; the file's end tells.
    const QByteArray last = LastBytes(mp3File, kId3v1Size);
    return expected->isEmpty() ? !last.startsWith("TAG") : last == *expected;
#else
    Q_UNUSED(mp3File);
    Q_UNUSED(tags);
    return false;
#endif
}
