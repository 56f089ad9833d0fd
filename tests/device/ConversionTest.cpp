#include "device/AudioFacts.h"
#include "device/DeviceFiles.h"
#include "device/ProfileLookup.h"
#include "support/AudioFixtures.h"
#include "support/DeviceNight.h"
#include "support/RequireTools.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>

namespace {

QJsonObject Probe(const QString& path)
{
    return QJsonDocument::fromJson(fixtures::ProbeJson(path)).object();
}

QJsonObject StreamOf(const QJsonObject& probe, const char* type)
{
    for (const QJsonValue& stream : probe["streams"].toArray()) {
        if (stream["codec_type"].toString() == QLatin1String(type))
            return stream.toObject();
    }
    return {};
}

// An ffmpeg that tells its version as ffmpeg does, and then does what body says.
QString StandIn(TempTree& tree, const QString& name, const QByteArray& body)
{
    const QString path = tree.WriteFile(name, "#!/bin/sh\n[ \"$1\" = -version ] && { echo 'ffmpeg version stand-in'; exit 0; }\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

} // namespace

// Each kind of song, through car-mp3: what does not play is MP3 at
// 192 kbit/s, 44.1 kHz, stereo, with ID3v2.3 and a Latin-1 ID3v1, its tags
// kept and its cover a baseline JPEG of at most 300 px; what plays arrives
// byte for byte; an MP3 whose tags and cover do not fit keeps its audio.
TEST(DeviceConversion, CarMp3MakesEveryKindOfSongPlay)
{
    REQUIRE_FFMPEG();
    TempTree tree;
    Night run(tree, Profile("car-mp3"));
    struct Case {
        const char* name;
        std::function<QString(const QString&)> make;
        Treatment treatment;
        bool cover;
    };
    const Case cases[] = {
        {"hi-res.flac", [](const QString& path) { return fixtures::Flac96k24WithCover(path); }, Treatment::Convert, true},
        {"song.opus", fixtures::OpusWithCover, Treatment::Convert, true},
        {"song.m4a", fixtures::M4aWithCover, Treatment::Convert, true},
        {"song.ogg", fixtures::Vorbis, Treatment::Convert, false},
        {"song.wav", fixtures::Wav, Treatment::Convert, false},
        {"fits.mp3", fixtures::Mp3Fitting, Treatment::Copy, false},
        {"big-cover.mp3", fixtures::Mp3BigCoverV24, Treatment::RewriteTags, true},
        {"notes.txt", [&tree](const QString& path) { return tree.WriteFile(QFileInfo(path).fileName(), "not audio"); },
         Treatment::Copy, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = c.make(tree.Path(QStringLiteral("lib/") + c.name));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_EQ(run.devices.TreatmentFor(source, run.destination), c.treatment);
        const DeviceFiles::Prepared prepared = run.devices.Prepare(source, run.destination);
        ASSERT_TRUE(prepared.failure.isEmpty()) << prepared.failure.toStdString();
        if (c.treatment == Treatment::Copy) {
            EXPECT_EQ(prepared.path, source);
            continue;
        }
        EXPECT_EQ(run.devices.NameFor(source, c.name, run.destination),
                  c.treatment == Treatment::Convert ? QFileInfo(c.name).completeBaseName() + ".mp3" : c.name);
        const QJsonObject probe = Probe(prepared.path);
        const QJsonObject audio = StreamOf(probe, "audio");
        EXPECT_EQ(audio["codec_name"].toString(), "mp3");
        EXPECT_EQ(audio["sample_rate"].toString(), "44100");
        if (c.treatment == Treatment::Convert) {
            EXPECT_EQ(audio["bit_rate"].toString(), "192000");
            EXPECT_EQ(audio["channels"].toInt(), 2);
        }
        const QByteArray bytes = FileBytes(prepared.path);
        EXPECT_TRUE(bytes.startsWith(QByteArray("ID3\x03", 4))) << "ID3v2.3";
        const QByteArray id3v1 = bytes.right(128);
        EXPECT_TRUE(id3v1.startsWith("TAG"));
        EXPECT_EQ(id3v1.mid(3, 30).left(9), QByteArray("T\xEFtle _\0\0\0", 9)) << "title in Latin-1, what it cannot hold folded";
        const QJsonObject tags = probe.value("format").toObject().value("tags").toObject();
        for (const char* key : {"title", "artist", "album", "genre"})
            EXPECT_FALSE(tags[key].toString().isEmpty()) << key;
        EXPECT_EQ(tags["artist"].toString(), QString::fromUtf8("Ärtist 日本"));
        EXPECT_EQ(tags["track"].toString().section('/', 0, 0), "3");
        EXPECT_TRUE(tags["date"].toString().startsWith("2021"));
        const AudioFacts facts = ReadAudioFacts(prepared.path);
        ASSERT_EQ(facts.cover.has_value(), c.cover);
        if (c.cover) {
            EXPECT_LE(std::max(facts.cover->width, facts.cover->height), 300);
            EXPECT_TRUE(facts.cover->jpeg && facts.cover->baseline);
        }
        // Fitted once, the file fits: it would be copied as it is.
        EXPECT_EQ(TreatmentOf(facts, *Profile("car-mp3").audio), Treatment::Copy);
    }
    EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
}

// A second night (a new run) takes every song from the cache; an entry
// cut short is converted again; a source ffmpeg cannot read fails with
// ffmpeg's own words and leaves nothing behind.
TEST(DeviceConversion, TheCacheServesLaterNightsAndNeverAHalfFile)
{
    REQUIRE_FFMPEG();
    TempTree tree;
    tree.MakeFolder("lib");
    const QString songs[] = {fixtures::Flac96k24WithCover(tree.Path("lib/a.flac")),
                             fixtures::OpusWithCover(tree.Path("lib/b.opus"))};
    QStringList first;
    {
        Night night(tree, Profile("car-mp3"));
        for (const QString& song : songs)
            first << night.devices.Prepare(song, night.destination).path;
        EXPECT_EQ(night.devices.Conversions(), 2);
    }
    {
        Night night(tree, Profile("car-mp3"));
        for (qsizetype i = 0; i < 2; ++i)
            EXPECT_EQ(night.devices.Prepare(songs[i], night.destination).path, first[i]);
        EXPECT_EQ(night.devices.Conversions(), 0);
    }
    QFile::resize(first[0], QFileInfo(first[0]).size() / 2);
    {
        Night night(tree, Profile("car-mp3"));
        EXPECT_EQ(night.devices.Prepare(songs[0], night.destination).path, first[0]);
        EXPECT_EQ(night.devices.Conversions(), 1);
        EXPECT_GT(Probe(first[0]).value("format").toObject().value("duration").toString().toDouble(), 1.5);
    }
    Night night(tree, Profile("car-mp3"));
    const QString damaged = fixtures::DamagedFlac(tree.Path("lib/damaged.flac"));
    const DeviceFiles::Prepared failed = night.devices.Prepare(damaged, night.destination);
    EXPECT_TRUE(failed.path.isEmpty());
    EXPECT_FALSE(failed.failure.isEmpty());
    EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
}

// The cap lets the entries used least recently go, never one this run used.
TEST(DeviceConversion, TheCacheKeepsToItsCapWithoutTakingWhatTheNightUses)
{
    TempTree tree;
    const QString folder = tree.MakeFolder("cache");
    ConversionCache earlier(folder);
    for (const char* key : {"old", "older", "oldest"}) {
        const QString temporary = earlier.NewTemporary();
        tree.WriteFile("cache/" + QFileInfo(temporary).fileName(), QByteArray(1000, 'x'));
        ASSERT_TRUE(earlier.Store(key, "mp3", temporary));
    }
    const auto age = [&](const char* key, int seconds) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(key) + ".mp3"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
    };
    age("old", 100);
    age("older", 200);
    age("oldest", 300);
    ConversionCache tonight(folder);
    ASSERT_TRUE(tonight.Find("oldest", "mp3")); // used again tonight
    EXPECT_EQ(tonight.Trim(1500), 2);
    EXPECT_EQ(QDir(folder).entryList({"*.mp3"}), QStringList {"oldest.mp3"});
    EXPECT_EQ(QDir(folder).entryList({"*.size"}), QStringList {"oldest.size"});
}

// An ffmpeg that crashes, or hangs past its time, fails its row with why,
// and leaves no temporary.
TEST(DeviceConversion, ACrashOrAHangFailsOnlyItsRow)
{
#ifdef _WIN32
    GTEST_SKIP() << "the stand-ins are shell scripts";
#endif
    REQUIRE_FFMPEG();
    TempTree tree;
    tree.MakeFolder("lib");
    const QString song = fixtures::PlainFlac(tree.Path("lib/a.flac"));
    qputenv("QUORVEX_CONVERSION_TIME_LIMIT_MS", "1500");
    const std::pair<QByteArray, const char*> standIns[] = {
        {"for a; do last=$a; done; echo partial > \"$last\"; kill -SEGV $$\n", "ffmpeg crashed"},
        {"for a; do last=$a; done; echo partial > \"$last\"; exec sleep 60\n", "ffmpeg was ended after 1 s without finishing"},
    };
    for (const auto& [body, why] : standIns) {
        Night run(tree, Profile("car-mp3"), StandIn(tree, "ffmpeg-" + QString::number(qHash(body)), body));
        const DeviceFiles::Prepared prepared = run.devices.Prepare(song, run.destination);
        EXPECT_EQ(prepared.failure, why);
        EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
    }
    qunsetenv("QUORVEX_CONVERSION_TIME_LIMIT_MS");
}
