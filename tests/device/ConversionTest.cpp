#include "tags/AudioFacts.h"
#include "device/FileTreatments.h"
#include "device/SongTreatment.h"
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
// byte for byte; an MP3 whose tags and cover do not fit keeps its audio; a
// file named as a song that holds no sound, or whose conversion holds
// none, fails with why and leaves nothing in the cache.
TEST(DeviceConversion, CarMp3MakesEveryKindOfSongPlay)
{
    REQUIRE_AUDIO_TOOLS();
    TempTree tree;
    Night run(tree, Profile("car-mp3"));
    const auto by = [](QStringList codec) { return [codec](const QString& path) { return fixtures::ByFfmpeg(path, codec); }; };
    const auto written = [&tree](QByteArray bytes) {
        return [&tree, bytes](const QString& path) { return tree.WriteFile("lib/" + QFileInfo(path).fileName(), bytes); };
    };
    QByteArray garbage(2048, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
    struct Case {
        const char* name;
        std::function<QString(const QString&)> make;
        Treatment treatment;
        bool cover = false;
        bool tagged = true; // every tag of the fixtures arrives
        const char* failure = nullptr;
    };
    const Case cases[] = {
        {"hi-res.flac", [](const QString& path) { return fixtures::Flac96k24WithCover(path); }, Treatment::Convert, true},
        {"song.opus", fixtures::OpusWithCover, Treatment::Convert, true},
        {"song.m4a", fixtures::M4aWithCover, Treatment::Convert, true},
        {"song.ogg", fixtures::Vorbis, Treatment::Convert},
        {"song.wav", fixtures::Wav, Treatment::Convert},
        {"lossless.wv", fixtures::WavPack, Treatment::Convert},
        {"song.mpc", fixtures::Musepack, Treatment::Convert},
#ifndef _WIN32 // ffmpeg.exe is built without libspeex, which it decodes Speex with
        {"voice.spx", fixtures::Speex, Treatment::Convert, false, false},
#endif
        {"song.tta", by({"-c:a", "tta"}), Treatment::Convert, false, false},
        {"alac.m4a", by({"-c:a", "alac"}), Treatment::Convert},
        {"song.ac3", by({"-c:a", "ac3"}), Treatment::Convert, false, false},
        {"song.eac3", by({"-c:a", "eac3"}), Treatment::Convert, false, false},
        {"song.mp2", by({"-c:a", "mp2"}), Treatment::Convert, false, false},
        {"song.mka", by({"-c:a", "flac"}), Treatment::Convert},
        {"song.au", by({"-c:a", "pcm_s16be"}), Treatment::Convert, false, false},
        {"dsd.dsf", fixtures::Dsf, Treatment::Convert, false, false},
        {"fits.mp3", fixtures::Mp3Fitting, Treatment::Copy},
        {"big-cover.mp3", fixtures::Mp3BigCoverV24, Treatment::RewriteTags, true},
        {"id3v22.mp3", fixtures::Mp3Id3v22, Treatment::RewriteTags, false, false},
        {"id3v24.mp3", fixtures::Mp3Id3v24, Treatment::RewriteTags},
        {"ape-tags.mp3", fixtures::Mp3ApeOnly, Treatment::RewriteTags},
        {"notes.txt", written("not audio"), Treatment::Copy},
        {"empty.mp3", written({}), Treatment::Refuse, false, false,
         "it is named as a song but holds no sound that a player can read"},
        {"garbage.flac", written(garbage), Treatment::Refuse, false, false,
         "it is named as a song but holds no sound that a player can read"},
        {"cut-short.flac", fixtures::FlacHeaderOnly, Treatment::Convert, false, false, "what ffmpeg made of it holds no sound"},
        {"no-samples.m4b", fixtures::NearlyEmptyM4b, Treatment::Convert, false, false, "what ffmpeg made of it holds no sound"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = c.make(tree.Path(QStringLiteral("lib/") + c.name));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_EQ(run.TreatmentOf(source), c.treatment);
        const QStringList entries = QDir(tree.Path("cache")).entryList(QDir::Files);
        const FileTreatments::Prepared prepared = run.Prepare(source);
        if (c.failure) {
            EXPECT_EQ(prepared.failure, c.failure);
            EXPECT_TRUE(prepared.path.isEmpty());
            EXPECT_EQ(QDir(tree.Path("cache")).entryList(QDir::Files), entries) << "nothing kept";
            continue;
        }
        ASSERT_TRUE(prepared.failure.isEmpty()) << prepared.failure.toStdString();
        if (c.treatment == Treatment::Copy) {
            EXPECT_EQ(prepared.path, source);
            continue;
        }
        EXPECT_EQ(run.NameFor(source, c.name),
                  c.treatment == Treatment::Convert ? QFileInfo(c.name).completeBaseName() + ".mp3" : c.name);
        const QJsonObject probe = Probe(prepared.path);
        const QJsonObject audio = StreamOf(probe, "audio");
        EXPECT_EQ(audio["codec_name"].toString(), "mp3");
        EXPECT_EQ(audio["sample_rate"].toString(), "44100");
        EXPECT_NEAR(probe["format"].toObject()["duration"].toString().toDouble(), 3.0, 0.2);
        if (c.treatment == Treatment::Convert) {
            EXPECT_EQ(audio["bit_rate"].toString(), "192000");
            EXPECT_EQ(audio["channels"].toInt(), 2);
        }
        const QByteArray bytes = FileBytes(prepared.path);
        EXPECT_TRUE(bytes.startsWith(QByteArray("ID3\x03", 4))) << "ID3v2.3";
        EXPECT_FALSE(bytes.contains("APETAGEX"));
        const AudioFacts facts = ReadAudioFacts(prepared.path);
        ASSERT_EQ(facts.cover.has_value(), c.cover);
        if (c.cover) {
            EXPECT_LE(std::max(facts.cover->width, facts.cover->height), 300);
            EXPECT_TRUE(facts.cover->jpeg && facts.cover->baseline);
        }
        // Fitted once, the file fits: it would be copied as it is.
        EXPECT_EQ(SongTreatmentOf(facts, *Profile("car-mp3").audio), Treatment::Copy);
        if (!c.tagged)
            continue;
        const QByteArray id3v1 = bytes.right(128);
        EXPECT_TRUE(id3v1.startsWith("TAG"));
        EXPECT_EQ(id3v1.mid(3, 30).left(9), QByteArray("T\xEFtle _\0\0\0", 9)) << "title in Latin-1, what it cannot hold folded";
        const QJsonObject tags = probe.value("format").toObject().value("tags").toObject();
        for (const char* key : {"title", "artist", "album", "genre"})
            EXPECT_FALSE(tags[key].toString().isEmpty()) << key;
        EXPECT_EQ(tags["artist"].toString(), QString::fromUtf8("Ärtist 日本"));
        EXPECT_EQ(tags["track"].toString().section('/', 0, 0), "3");
        EXPECT_TRUE(tags["date"].toString().startsWith("2021"));
    }
    EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
}

// A second night (a new run) takes every song from the cache; an entry
// cut short is converted again; a source ffmpeg cannot read fails with
// ffmpeg's own words and leaves nothing behind.
TEST(DeviceConversion, TheCacheServesLaterNightsAndNeverAHalfFile)
{
    REQUIRE_AUDIO_TOOLS();
    TempTree tree;
    tree.MakeFolder("lib");
    const QString songs[] = {fixtures::Flac96k24WithCover(tree.Path("lib/a.flac")),
                             fixtures::OpusWithCover(tree.Path("lib/b.opus"))};
    QStringList first;
    {
        Night night(tree, Profile("car-mp3"));
        for (const QString& song : songs)
            first << night.Prepare(song).path;
        EXPECT_EQ(night.treatments.Conversions(), 2);
    }
    {
        Night night(tree, Profile("car-mp3"));
        for (qsizetype i = 0; i < 2; ++i)
            EXPECT_EQ(night.Prepare(songs[i]).path, first[i]);
        EXPECT_EQ(night.treatments.Conversions(), 0);
    }
    QFile::resize(first[0], QFileInfo(first[0]).size() / 2);
    {
        Night night(tree, Profile("car-mp3"));
        EXPECT_EQ(night.Prepare(songs[0]).path, first[0]);
        EXPECT_EQ(night.treatments.Conversions(), 1);
        EXPECT_GT(Probe(first[0]).value("format").toObject().value("duration").toString().toDouble(), 1.5);
    }
    Night night(tree, Profile("car-mp3"));
    const QString damaged = fixtures::DamagedFlac(tree.Path("lib/damaged.flac"));
    const FileTreatments::Prepared failed = night.Prepare(damaged);
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
    REQUIRE_AUDIO_TOOLS();
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
        const FileTreatments::Prepared prepared = run.Prepare(song);
        EXPECT_EQ(prepared.failure, why);
        EXPECT_TRUE(Temporaries(tree.Path("cache")).isEmpty());
    }
    qunsetenv("QUORVEX_CONVERSION_TIME_LIMIT_MS");
}
