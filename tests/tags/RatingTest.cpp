#include "tags/AudioFacts.h"
#include "tags/Rating.h"
#include "support/RequireTools.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>

namespace {

using Maker = QString (*)(const QString& path);

constexpr Maker Mp3 = fixtures::Mp3Fitting;
QString Flac(const QString& path) { return fixtures::PlainFlac(path); }
QString Opus(const QString& path) { return fixtures::ByFfmpeg(path, {"-c:a", "libopus"}); }
QString M4a(const QString& path) { return fixtures::ByFfmpeg(path, {"-c:a", "aac"}); }
QString Photo(const QString& path) { return fixtures::Jpeg(path); }

QString Written(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

QString Garbage(const QString& path) { return Written(path, "ID3\x04 fLaC \xFF\xD8\xFF not a song nor a photo"); }

// A JPEG of nothing but an APP1 segment, which is all a rating is read from.
QByteArray JpegWithApp1(const QByteArray& body)
{
    const auto length = static_cast<int>(body.size() + 2);
    return QByteArray("\xFF\xD8\xFF\xE1") + char(length >> 8) + char(length & 0xFF) + body + "\xFF\xD9";
}

QByteArray Xmp(const QByteArray& description)
{
    return QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta><rdf:RDF><rdf:Description "
         + description + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

// EXIF whose first directory lies far past its block, then a second APP1
// of XMP as Windows writes it, the rating an element of its own.
QString BrokenExifThenXmp(const QString& path)
{
    const QByteArray exif = QByteArray("Exif\0\0II*\0\xF0\xFF\xFF\x7F", 14);
    const QByteArray xmp = Xmp("xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n  <xmp:Rating>4</xmp:Rating>");
    return Written(path, JpegWithApp1(exif).chopped(2) + JpegWithApp1(xmp).sliced(2));
}

struct Row {
    const char* name;
    Maker make;       // the file untagged
    const char* tags; // python on mutagen's f for a song; for a photo, exiv2's commands between semicolons
    int halfStars;
};

} // namespace

TEST(Rating, IsReadAsTaggersAndPhotoToolsWriteIt)
{
    const bool tools = fixtures::HaveAudioTools() && fixtures::HaveMutagen() && fixtures::HavePhotoTools();
    REQUIRE_TAGGING_TOOLS(tools, "no ffmpeg, python3-mutagen or exiv2");
    const Row rows[] = {
        {"untagged.mp3", Mp3, nullptr, 0},
        {"fmps.mp3", Mp3, "f.tags.add(id3.TXXX(desc='FMPS_Rating', text=['0.7']))", 7},
        {"popm-1.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 1))", 2},
        {"popm-64.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 64))", 4},
        {"popm-128.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 128))", 6},
        {"popm-192.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 192))", 8},
        {"popm-196.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 196))", 8},
        {"popm-252.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 252))", 10},
        {"popm-255.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 255))", 10},
        // mutagen writes frames of one size in the order of their e-mails.
        {"popm-three.mp3", Mp3, "[f.tags.add(id3.POPM(e, r)) for e, r in (('a@x', 0), ('b@x', 128), ('c@x', 255))]", 6},
        {"fmps-beside-popm.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 255)); f.tags.add(id3.TXXX(desc='fmps_rating', text=['0.3']))", 3},
        {"fmps-text-beside-popm.mp3", Mp3, "f.tags.add(id3.POPM('a@x', 64)); f.tags.add(id3.TXXX(desc='FMPS_Rating', text=['good']))", 4},
        {"fmps.flac", Flac, "f['FMPS_RATING'] = '0.8'", 8},
        {"fmps-zero.flac", Flac, "f['FMPS_RATING'] = '0.0'", 1},
        {"fmps-before-rating.flac", Flac, "f['RATING'] = '5'; f['FMPS_RATING'] = '0.2'", 2},
        {"stars.flac", Flac, "f['rating'] = '4'", 8},
        {"percent.flac", Flac, "f['RATING'] = '70'", 7},
        {"fraction.flac", Flac, "f['RATING'] = '0.6'", 6},
        {"one-above-ten.flac", Flac, "f['RATING'] = ['3', '60']", 1},
        {"rating-255.flac", Flac, "f['RATING'] = '255'", 0},
        {"rating-zero.flac", Flac, "f['RATING'] = '0'", 0},
        {"rating-text.flac", Flac, "f['RATING'] = 'good'", 0},
        {"fmps.opus", Opus, "f['FMPS_RATING'] = '1.0'", 10},
        {"stars.ogg", fixtures::Vorbis, "f['RATING'] = '3'", 6},
        {"fmps.m4a", M4a, "f['----:com.apple.iTunes:FMPS_Rating'] = [mp4.MP4FreeForm(b'0.9')]", 9},
        {"fmps-case.m4a", M4a, "f['----:com.apple.iTunes:FMPS_RATING'] = [mp4.MP4FreeForm(b'0.4')]", 4},
        {"rate.m4a", M4a, "f['rate'] = ['80']", 8},
        {"fmps-before-rate.m4a", M4a, "f['rate'] = ['20']; f['----:com.apple.iTunes:FMPS_Rating'] = [mp4.MP4FreeForm(b'0.6')]", 6},
        {"fmps.wv", fixtures::WavPack, "f['FMPS_RATING'] = '0.5'", 5},
        {"percent.wv", fixtures::WavPack, "f['Rating'] = '100'", 10},
        {"stars.mpc", fixtures::Musepack, "f['RATING'] = '2'", 4},
        {"garbage.mp3", Garbage, nullptr, 0},
        {"garbage.flac", Garbage, nullptr, 0},
        {"exif.jpg", Photo, "set Exif.Image.Rating 4", 8},
        {"xmp.jpg", Photo, "set Xmp.xmp.Rating 3", 6},
        {"xmp-rejected.jpg", Photo, "set Xmp.xmp.Rating -1", 1},
        {"exif-before-xmp.jpg", Photo, "set Exif.Image.Rating 2;set Xmp.xmp.Rating 5", 4},
        {"exif-zero-xmp.jpg", Photo, "set Exif.Image.Rating 0;set Xmp.xmp.Rating 5", 10},
        {"exif-out-of-range.jpg", Photo, "set Exif.Image.Rating 7", 0},
        {"broken-exif-then-xmp-element.jpg", BrokenExifThenXmp, nullptr, 8},
        {"garbage.jpg", Garbage, nullptr, 0},
    };
    TempTree tree;
    std::map<Maker, QString> untagged; // each made once, then copied
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QString::fromLatin1(row.name);
        const QString path = tree.Path(name);
        auto [made, first] = untagged.try_emplace(row.make);
        if (first)
            made->second = row.make(tree.Path(QStringLiteral("untagged/") + name));
        ASSERT_FALSE(made->second.isEmpty());
        ASSERT_TRUE(QFile::copy(made->second, path));
        const bool photo = name.endsWith(QStringLiteral(".jpg"));
        if (row.tags) {
            const QString tags = QString::fromUtf8(row.tags);
            ASSERT_FALSE((photo ? fixtures::ModifiedByExiv2(path, tags.split(u';'))
                                : fixtures::TaggedByMutagen(path, tags)).isEmpty());
        }
        if (photo) {
            EXPECT_EQ(ReadPhotoRating(path), row.halfStars);
            continue;
        }
        const AudioFacts facts = ReadAudioFacts(path);
        EXPECT_EQ(facts.IsAudio(), row.make != Garbage); // an unrated row is no song the tagger broke
        EXPECT_EQ(facts.rating, row.halfStars);
    }
}
