#include "commandline/CommandLineFixture.h"
#include "support/AudioFixtures.h"
#include "support/FatStick.h"
#include "support/PhotoFixtures.h"
#include "support/RequireTools.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

#include <csignal>
#include <thread>

namespace {

// The real program with songs: ffmpeg is needed to make them.
class DeviceCommandLine : public CommandLine {
protected:
    void SetUp() override
    {
        REQUIRE_AUDIO_TOOLS();
        process.setProcessEnvironment(WithCache(Environment()));
        tree.MakeFolder("lib");
    }

    QProcessEnvironment WithCache(QProcessEnvironment environment) const
    {
        environment.insert("XDG_CACHE_HOME", tree.Path("cache"));
        return environment;
    }

    // An ffmpeg that logs each conversion (not its -version) and runs the real one.
    QString CountingFfmpeg()
    {
        const QString path = tree.WriteFile("counting-ffmpeg",
                                            "#!/bin/sh\n[ \"$1\" = -version ] || echo converted >> \"$0.log\"\n"
                                            "exec ffmpeg \"$@\"\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    int Conversions() { return QString::fromUtf8(FileBytesIfAny(tree.Path("counting-ffmpeg.log"))).count("converted"); }

    static QByteArray FileBytesIfAny(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList CacheEntries() { return QDir(tree.Path("cache/quorvex/converted")).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

// The plan says which rows are converted and under which name; a saved
// plan keeps its device, and another device cannot carry it out.
TEST_F(DeviceCommandLine, ThePlanSaysWhatIsConvertedAndKeepsItsDevice)
{
    fixtures::PlainFlac(tree.Path("lib/Sång 'one'.flac"));
    fixtures::Mp3Fitting(tree.Path("lib/fits.mp3"));
    tree.WriteFile("lib/cover.jpg", "not a song");
    const QString out = tree.MakeFolder("out");
    const QString plan = tree.Path("plan.txt");
    Outcome outcome = Run({"-s", tree.Path("lib"), "-d", out, "-n", "3", "--device", "car-mp3", "--dry-run",
                           "--save-plan", plan});
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QString lib = tree.Path("lib");
    EXPECT_TRUE(outcome.out.contains(lib + "/Sång 'one'.flac will be converted to " + out + "/Sång 'one'.mp3\n"))
        << outcome.out.toStdString();
    EXPECT_TRUE(outcome.out.contains(lib + "/fits.mp3 will be copied to " + out + "/fits.mp3\n"));
    EXPECT_TRUE(outcome.out.contains(lib + "/cover.jpg will be copied to " + out + "/cover.jpg\n"));
    EXPECT_TRUE(FileBytes(plan).contains("\n# device car-mp3\n"));
    EXPECT_TRUE(QDir(out).isEmpty());

    outcome = Run({"--plan", plan, "--device", "player-mp3-aac"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "quorvex: --device: the plan was made for the device car-mp3; carry it out with that "
                           "device, or draw a new plan\n");
    EXPECT_TRUE(QDir(out).isEmpty());

    outcome = Run({"--plan", plan, "--verify"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Names(out), (std::set<std::string> {"Sång 'one'.mp3", "cover.jpg", "fits.mp3"}));
    EXPECT_EQ(FileBytes(out + "/fits.mp3"), FileBytes(lib + "/fits.mp3"));
}

// Without an ffmpeg, a run that must convert writes nothing and says how to
// get one; a profile that cannot be used, named or a stick's own, stops
// the run the same way, naming its line and key.
TEST_F(DeviceCommandLine, WhatStopsARunBeforeItWritesAnything)
{
    fixtures::PlainFlac(tree.Path("lib/a.flac"));
    const QString out = tree.MakeFolder("out");
    const QStringList draw {"-s", tree.Path("lib"), "-d", out, "-n", "1"};
    Outcome outcome = Run(draw + QStringList {"--device", "car-mp3", "--ffmpeg", tree.Path("no-ffmpeg")});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.err.endsWith("quorvex: convert: ffmpeg is missing: install it with \"apt install ffmpeg\", "
                                     "or give it with --ffmpeg\n")) << outcome.err.toStdString();
    QProcessEnvironment withoutPath = WithCache(Environment());
    withoutPath.insert("PATH", tree.Path("empty"));
    process.setProcessEnvironment(withoutPath);
    outcome = Run(draw + QStringList {"--device", "car-mp3"});
    EXPECT_EQ(outcome.status, 2) << outcome.err.toStdString();
    // With no ffprobe to say what it is either, a song no reader here takes
    // counts as one to convert.
    const QString dsd = fixtures::Dsf(tree.Path("dsd/song.dsf"));
    outcome = Run({"-s", FolderOf(dsd), "-d", out, "-n", "1", "--device", "car-mp3"});
    EXPECT_EQ(outcome.status, 2) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains("quorvex: convert: ffmpeg is missing")) << outcome.err.toStdString();
    process.setProcessEnvironment(WithCache(Environment()));

    outcome = Run(draw + QStringList {"--device", "no-such-car"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.err.startsWith("quorvex: --device: no device profile named \"no-such-car\"")) << outcome.err.toStdString();

    tree.WriteFile("out/.quorvex-device.ini", "[Audio]\nPlays=mp3\nArt=big\n");
    outcome = Run(draw);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.err.contains(out + "/.quorvex-device.ini:3: Art: ")) << outcome.err.toStdString();
    EXPECT_EQ(Names(out), std::set<std::string> {".quorvex-device.ini"});

    // --list-devices names the user's own, the built-in ones, and what it could not read.
    tree.WriteFile("config/Quorvex/devices/van.ini", "[Audio]\nPlays=mp3,aac\nMaxSampleRate=48000\n");
    tree.WriteFile("config/Quorvex/devices/broken.ini", "[Audio]\nPlays=mp3\nTags=id3v9\n");
    outcome = Run({"--list-devices"});
    EXPECT_EQ(outcome.status, 1);
    const QStringList listed = outcome.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 8) << outcome.out.toStdString();
    EXPECT_TRUE(listed[0].startsWith("van\t" + tree.Path("config/Quorvex/devices/van.ini") + "\tplays MP3 and AAC"));
    EXPECT_TRUE(listed[2].startsWith("car-mp3\tbuilt in\tplays MP3 at 32 to 48 kHz"));
    EXPECT_TRUE(listed[5].startsWith("frame-1024x600\tbuilt in\tshows JPEG; makes the rest upright JPEGs"));
    EXPECT_TRUE(outcome.err.startsWith("quorvex: device: " + tree.Path("config/Quorvex/devices/broken.ini") + ":3: Tags: "))
        << outcome.err.toStdString();

    // The stick's own profile, where --device names none.
    tree.WriteFile("out/.quorvex-device.ini", "[Audio]\nPlays=mp3\nConvertTo=mp3\nBitRate=128\n");
    outcome = Run(draw);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Names(out), (std::set<std::string> {".quorvex-device.ini", "a.mp3"}));
}

// Nights that draw songs converted before convert none of them again, two
// runs at once share the cache, and a small cap lets the old ones go.
TEST_F(DeviceCommandLine, LaterNightsCopyFromTheCache)
{
    for (int song = 1; song <= 4; ++song)
        fixtures::PlainFlac(tree.Path(QStringLiteral("lib/%1.flac").arg(song)), 1.0);
    const QString ffmpeg = CountingFfmpeg();
    const QStringList night {"-s", tree.Path("lib"), "-n", "4", "--device", "car-mp3", "--ffmpeg", ffmpeg, "-q"};
    // Two runs at once, into two sticks: each song is converted by one of
    // them or both, and neither reads a half-written entry.
    QProcess other;
    other.setProcessEnvironment(WithCache(Environment()));
    other.start(QUORVEX_PROGRAM, night + QStringList {"-d", tree.MakeFolder("stick2")});
    Outcome outcome = Run(night + QStringList {"-d", tree.MakeFolder("stick1")});
    ASSERT_TRUE(other.waitForFinished(60'000));
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    const std::set<std::string> songs {"1.mp3", "2.mp3", "3.mp3", "4.mp3"};
    EXPECT_EQ(Names(tree.Path("stick1")), songs);
    EXPECT_EQ(Names(tree.Path("stick2")), songs);
    for (const char* song : {"/1.mp3", "/4.mp3"})
        EXPECT_EQ(FileBytes(tree.Path("stick1") + song), FileBytes(tree.Path("stick2") + song));
    EXPECT_GE(Conversions(), 4);
    EXPECT_EQ(CacheEntries().filter(QRegularExpression("\\.mp3$")).size(), 4) << CacheEntries().join(' ').toStdString();
    EXPECT_TRUE(CacheEntries().filter(QRegularExpression("^\\.")).isEmpty()) << "no temporaries";

    // Converted before, each song counts by its real size: all four fit
    // where their bounds (each over 64 KiB) would not.
    const int before = Conversions();
    outcome = Run(night + QStringList {"-d", tree.MakeFolder("stick3"), "--max-size", "200K"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Names(tree.Path("stick3")), songs);
    EXPECT_EQ(Conversions(), before);

    // A cap below one entry: tonight's stay, and what no night uses goes.
    tree.MakeFolder("other");
    fixtures::PlainFlac(tree.Path("other/5.flac"), 1.0);
    outcome = Run({"-s", tree.Path("other"), "-d", tree.MakeFolder("stick4"), "--device", "car-mp3", "--ffmpeg", ffmpeg,
                   "--cache-size", "1K"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(CacheEntries().filter(QRegularExpression("\\.mp3$")).size(), 1);
}

// On a FAT stick, a night over every kind of song: each that plays
// arrives as an MP3 a car reads (48 kHz at most, ID3v2.3 or no tag) and a
// player plays every one through the playlist; each file named as a song
// that holds no sound, or whose conversion holds none, fails in a line of
// its own, and nothing half-made stays in the cache.
TEST_F(DeviceCommandLine, APlayerPlaysTheConvertedSongsOnAStick)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    if (QStandardPaths::findExecutable("mpv").isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("QUORVEX_REQUIRE_PLAYER"))
            FAIL() << "mpv is missing (./test.sh installs it)";
        GTEST_SKIP() << "mpv is missing";
    }
    // FUSE's FAT takes no letters beyond ASCII; ":" and "?" it refuses too.
    fixtures::Flac96k24WithCover(tree.Path("lib/Hi-res: 96k?.flac"));
    fixtures::OpusWithCover(tree.Path("lib/opus song.opus"));
    fixtures::M4aWithCover(tree.Path("lib/m4a song.m4a"));
    fixtures::Vorbis(tree.Path("lib/vorbis.ogg"));
    fixtures::Wav(tree.Path("lib/wave.wav"));
    fixtures::WavPack(tree.Path("lib/lossless.wv"));
    fixtures::Musepack(tree.Path("lib/musepack.mpc"));
    fixtures::Speex(tree.Path("lib/voice.spx"));
    fixtures::Dsf(tree.Path("lib/dsd.dsf"));
    for (const char* codec : {"tta", "ac3", "mp2", "alac"})
        fixtures::ByFfmpeg(tree.Path(QStringLiteral("lib/%1 song.%2").arg(codec, qstrcmp(codec, "alac") == 0 ? "m4a" : codec)),
                           {"-c:a", codec});
    fixtures::Mp3Id3v22(tree.Path("lib/id3v22.mp3"));
    fixtures::Mp3Id3v24(tree.Path("lib/id3v24.mp3"));
    fixtures::Mp3ApeOnly(tree.Path("lib/ape tags.mp3"));
    fixtures::Mp3Fitting(tree.Path("lib/fits.mp3"));
    const QStringList bad {tree.WriteFile("lib/empty.mp3", ""), tree.WriteFile("lib/garbage.flac", QByteArray(2048, '\x5A')),
                           fixtures::FlacHeaderOnly(tree.Path("lib/cut short.flac")),
                           fixtures::NearlyEmptyM4b(tree.Path("lib/no samples.m4b"))};
    const Outcome outcome = Run({"-s", tree.Path("lib"), "-d", stick.Folder(), "-n", "21", "--device", "car-mp3",
                                 "--playlist", "car.m3u8", "--verify"});
    EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
    for (const QString& song : bad) {
        const QRegularExpression line("^quorvex: [^\n]*: could not be converted: [^\n]* \\(from " + QRegularExpression::escape(song) + "\\)$",
                                      QRegularExpression::MultilineOption);
        EXPECT_EQ(outcome.err.count(line), 1) << song.toStdString() << "\n" << outcome.err.toStdString();
    }
    QStringList arrived = QDir(stick.Folder()).entryList(QDir::Files);
    arrived.removeAll("car.m3u8");
    EXPECT_EQ(arrived.size(), 17) << arrived.join(' ').toStdString();
    EXPECT_TRUE(arrived.contains("Hi-res_ 96k_.mp3"));
    for (const QString& name : arrived) {
        const QJsonObject probe = QJsonDocument::fromJson(fixtures::ProbeJson(stick.Folder() + "/" + name)).object();
        const QJsonObject audio = probe["streams"].toArray().first().toObject();
        EXPECT_TRUE(name.endsWith(".mp3")) << name.toStdString();
        EXPECT_EQ(audio["codec_name"].toString(), "mp3") << name.toStdString();
        EXPECT_LE(audio["sample_rate"].toString().toInt(), 48000) << name.toStdString();
        const QByteArray head = FileBytes(stick.Folder() + "/" + name).first(4);
        EXPECT_TRUE(head == QByteArray("ID3\x03", 4) || !head.startsWith("ID3")) << name.toStdString();
    }
    QProcess mpv;
    mpv.start("mpv", {"--no-config", "--ao=null", "--vo=null", "--length=0.1", "--playlist=" + stick.Folder() + "/car.m3u8"});
    ASSERT_TRUE(mpv.waitForFinished(60'000));
    const QString said = QString::fromUtf8(mpv.readAllStandardOutput() + mpv.readAllStandardError());
    EXPECT_EQ(said.count("Playing: "), 17) << said.toStdString();
    EXPECT_EQ(said.count(QRegularExpression("Audio --aid=1 \\(mp3 2ch 44100Hz\\)")), 17) << said.toStdString();
    EXPECT_FALSE(said.contains("Failed")) << said.toStdString();
    EXPECT_TRUE(CacheEntries().filter(QRegularExpression("^\\.")).isEmpty()) << "no temporaries";
    for (const QString& entry : CacheEntries().filter(QRegularExpression("\\.mp3$")))
        EXPECT_FALSE(fixtures::ProbeJson(tree.Path("cache/quorvex/converted/" + entry)).isEmpty()) << entry.toStdString();
}

// A frame's nightly refill on a stick: the mix arrives fitted, upright and
// under .jpg names, the user's own photo stays, and the next night, which
// draws the same photos again, makes none of them anew.
TEST_F(DeviceCommandLine, AFrameNightOnAStickMakesEachPhotoOnce)
{
    REQUIRE_PHOTO_TOOLS();
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    fixtures::JpegFixture turned;
    turned.width = 3000;
    turned.height = 4000;
    turned.orientation = 6;
    fixtures::Jpeg(tree.Path("lib/turned.jpg"), turned);
    fixtures::HeicTurned(tree.Path("lib/phone.heic"), "2023:08:01 18:45:00");
    fixtures::PngWithAlpha(tree.Path("lib/screenshot.png"));
    fixtures::TextNamedJpeg(tree.Path("lib/broken.jpg"));
    const QString own = fixtures::Jpeg(stick.Folder() + "/mine.jpg");
    const QByteArray ownBytes = FileBytes(own);
    const QStringList night = {"--source-tree", tree.Path("lib"), "-d", stick.Folder(), "-n", "4", "--refresh",
                               "--cycle", "--device", "frame-1024x600", "-q"};
    std::map<QString, ino_t> made;
    for (int nights = 1; nights <= 2; ++nights) {
        SCOPED_TRACE(nights);
        const Outcome outcome = Run(night);
        EXPECT_EQ(outcome.status, 1) << "the broken photo fails its row";
        EXPECT_TRUE(outcome.err.contains("broken.jpg: could not be converted: it is named as a photo but holds none"))
            << outcome.err.toStdString();
        for (const char* name : {"turned.jpg", "phone.jpg", "screenshot.jpg"}) {
            const QString copy = stick.Folder() + "/" + name;
            const QSize size = fixtures::SizeOf(copy);
            EXPECT_EQ(size, QLatin1String(name) == u"turned.jpg" ? QSize(450, 600) : QSize(600, 400)) << name;
            EXPECT_TRUE(fixtures::Near(fixtures::PixelAt(copy, 5, 5), {255, 0, 0})) << name << " upright";
        }
        EXPECT_FALSE(QFileInfo::exists(stick.Folder() + "/broken.jpg"));
        EXPECT_EQ(FileBytes(own), ownBytes);
        std::map<QString, ino_t> entries;
        for (const QString& entry : CacheEntries()) {
            struct stat status {};
            ASSERT_EQ(stat(QFile::encodeName(tree.Path("cache/quorvex/converted/" + entry)).constData(), &status), 0);
            entries[entry] = status.st_ino;
        }
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.first.endsWith(".jpg"); }), 3);
        if (nights == 2) {
            EXPECT_EQ(entries, made) << "no photo made anew";
        }
        made = entries;
    }
}

// Under a budget a photo counts by its guessed size; one that is made
// larger than the room left is left out, and said.
TEST_F(DeviceCommandLine, APhotoMadeLargerThanItsGuessIsLeftOut)
{
    if (!fixtures::HavePhotoTools())
        GTEST_SKIP() << "no ImageMagick, exiv2 or heif-info on PATH";
    const QString noise = tree.Path("lib/noise.png"); // noise compresses worse than any photo
    ASSERT_EQ(QProcess::execute("convert", {"-size", "800x500", "xc:", "+noise", "Random", noise}), 0);
    const QString out = tree.MakeFolder("frame");
    const Outcome outcome = Run({"-s", tree.Path("lib"), "-d", out, "-n", "1", "--max-size", "180K", "--device",
                                 "frame-1024x600"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains("quorvex: size: " + out + "/noise.jpg: left out: the photo made for it takes"))
        << outcome.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out + "/noise.jpg"));
    EXPECT_TRUE(QDir(out).entryList(QDir::Files | QDir::Hidden).filter(".jpg").isEmpty());
}

// An interrupted run ends the conversions it started.
TEST_F(DeviceCommandLine, AnInterruptEndsTheConversions)
{
    fixtures::PlainFlac(tree.Path("lib/a.flac"));
    fixtures::PlainFlac(tree.Path("lib/b.flac"));
    const QString hanging = tree.WriteFile("hanging-ffmpeg", "#!/bin/sh\n[ \"$1\" = -version ] && exit 0\n"
                                                             "echo $$ >> \"$0.pids\"\nexec sleep 120\n");
    QFile::setPermissions(hanging, QFile::permissions(hanging) | QFile::ExeOwner);
    process.start(QUORVEX_PROGRAM, {"-s", tree.Path("lib"), "-d", tree.MakeFolder("out"), "-n", "2", "--device",
                                    "car-mp3", "--ffmpeg", hanging});
    // One conversion a core, here both at once.
    const qsizetype atOnce = std::min(2U, std::max(1U, std::thread::hardware_concurrency()));
    QStringList pids;
    for (int wait = 0; wait < 300 && pids.size() < atOnce; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pids = QString::fromUtf8(FileBytesIfAny(hanging + ".pids")).split('\n', Qt::SkipEmptyParts);
    }
    ASSERT_EQ(pids.size(), atOnce);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 130);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Ended, or a zombie that nothing reaps in a container without an init.
    for (const QString& pid : pids) {
        const QByteArray stat = FileBytesIfAny("/proc/" + pid + "/stat");
        EXPECT_TRUE(stat.isEmpty() || stat.contains(") Z ")) << "conversion " << pid.toStdString() << " still runs";
    }
}

// Names of 200 characters, numbered and folded to ASCII, are cut to what
// the device shows, before their extension; two that then meet take
// numbers within the limit, and the playlist names them as they arrived.
TEST_F(CommandLine, LongNamesAreCutToWhatTheDeviceShows)
{
    const QString start = QString::fromUtf8("Ünïcode title that goes on and on, well past what a car stereo shows");
    QStringList longNames;
    for (const char* end : {" (live).mp3", " (demo).mp3", " (remix).ogg"})
        longNames << (start + QString(20, u'é') + QString(200, u'x')).left(200 - int(qstrlen(end))) + end; // 222 bytes
    for (const QString& name : longNames)
        tree.WriteFile("lib/" + name, name.toUtf8());
    for (const bool numbered : {true, false}) {
        const QString out = tree.MakeFolder(numbered ? "numbered" : "plain");
        tree.WriteFile(FileNameOf(out) + "/.quorvex-device.ini", "[Limits]\nNameLength=64\n");
        QStringList options {"-s", tree.Path("lib"), "-d", out, "-n", "3", "--ascii-names", "--playlist", "mix.m3u8"};
        if (numbered)
            options << "--numbered";
        const Outcome outcome = Run(options);
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        QStringList arrived = QDir(out).entryList(QDir::Files);
        arrived.removeAll("mix.m3u8");
        ASSERT_EQ(arrived.size(), 3) << arrived.join('\n').toStdString();
        const QString playlist = QString::fromUtf8(FileBytes(out + "/mix.m3u8"));
        for (const QString& name : arrived) {
            EXPECT_LE(name.size(), 64) << name.toStdString();
            const QString expected = numbered ? "^[1-3] Unicode title that goes on.*[^ ]\\.(mp3|ogg)$"
                                              : "^Unicode title that goes on.*[^ ]\\.(mp3|ogg)$";
            EXPECT_TRUE(name.contains(QRegularExpression(expected))) << name.toStdString();
            EXPECT_TRUE(playlist.contains(name)) << playlist.toStdString();
        }
        if (!numbered) { // the two .mp3 cut alike: one takes a number
            EXPECT_EQ(arrived.filter(QRegularExpression("1\\.mp3$")).size(), 1) << arrived.join('\n').toStdString();
        }
    }
}

// A device's count of files and folders stops the draw where it would be
// passed: the user's own files count, from the volume's root on a stick
// (a folder of the system's disk is counted alone), and the cut is said
// once, with how many drawn files it left out.
TEST_F(CommandLine, TheDrawStopsWhereTheDeviceStopsCounting)
{
    for (int i = 1; i <= 6; ++i)
        tree.WriteFile(QStringLiteral("lib/Album %1/song.mp3").arg(i), "x");
    // A folder on this disk: its 5 files and the profile count, nothing above it.
    const QString folder = tree.MakeFolder("folder");
    for (int i = 1; i <= 5; ++i)
        tree.WriteFile(QStringLiteral("folder/mine%1.txt").arg(i), "mine");
    tree.WriteFile("folder/.quorvex-device.ini", "[Limits]\nFiles=10\n");
    Outcome outcome = Run({"--source-tree", tree.Path("lib"), "-d", folder, "-n", "6"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains("quorvex: limit: " + folder + "/: the device takes 10 files in all: 2 drawn files left out\n"))
        << outcome.err.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 10);

    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    // On a stick, a file of the user's at its root counts too, and so does
    // the folder the draw goes into.
    QFile mine(stick.Folder() + "/mine.txt");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.close();
    const QString music = stick.Folder() + "/MUSIC";
    ASSERT_TRUE(QDir().mkpath(music));
    QFile profile(music + "/.quorvex-device.ini");
    ASSERT_TRUE(profile.open(QIODevice::WriteOnly) && profile.write("[Limits]\nFolders=3\nFiles=6\n") > 0);
    profile.close();
    outcome = Run({"--source-tree", tree.Path("lib"), "-d", music, "-n", "6", "--whole-folders", "--dry-run"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out.count(" will be copied to "), 2) << outcome.out.toStdString();
    EXPECT_TRUE(outcome.err.contains("quorvex: limit: " + music + "/: the device takes 3 folders in all: 4 drawn files left out\n"))
        << outcome.err.toStdString();
    outcome = Run({"--source-tree", tree.Path("lib"), "-d", music, "-n", "6"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(": the device takes 6 files in all: 2 drawn files left out\n")) << outcome.err.toStdString();
    EXPECT_EQ(QDir(music).entryList(QDir::Files).size(), 4);
}

// On a stick whose player reads 4 files a folder and 3 levels of folders:
// a flat draw is spread over numbered folders in the draw's order (a
// number the user holds passed over, the user's own file counted), the
// next refresh night leaves one mix and no empty folder, a player reads
// the playlist whole; albums 10 levels deep are folded into the levels it reads.
TEST_F(CommandLine, FoldersKeepToWhatThePlayerReads)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    // Twenty silent MPEG-1 Layer III frames: enough for a player to open.
    const QByteArray silence = (QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0')).repeated(20);
    for (int i = 1; i <= 10; ++i)
        tree.WriteFile(QStringLiteral("flat/song%1.mp3").arg(i, 2, 10, QChar(u'0')), silence);
    const QString music = stick.Folder() + "/MUSIC";
    ASSERT_TRUE(QDir().mkpath(music + "/02"));
    for (const auto& [name, bytes] : {std::pair<QString, QByteArray> {"/.quorvex-device.ini", "[Limits]\nFilesPerFolder=4\nDepth=3\n"},
                                      {"/mine.txt", "mine"}, {"/02/kept.txt", "kept"}}) {
        QFile file(music + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QStringList night {"-s", tree.Path("flat"), "-d", music, "-n", "10", "--refresh", "--playlist", "mix.m3u8"};
    for (int run = 0; run < 2; ++run) {
        const Outcome outcome = Run(night);
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(QDir(music).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList {"01", "02", "03", "04"}));
        EXPECT_EQ(QDir(music + "/01").entryList(QDir::Files).size(), 4);
        EXPECT_EQ(QDir(music + "/02").entryList(QDir::Files), QStringList {"kept.txt"});
        EXPECT_EQ(QDir(music + "/03").entryList(QDir::Files).size(), 4);
        EXPECT_EQ(QDir(music + "/04").entryList(QDir::Files).size(), 2);
    }
    QProcess mpv;
    mpv.start("mpv", {"--no-config", "--ao=null", "--vo=null", "--length=0.1", "--playlist=" + music + "/mix.m3u8"});
    if (mpv.waitForStarted()) {
        ASSERT_TRUE(mpv.waitForFinished(60'000));
        EXPECT_EQ(QString::fromUtf8(mpv.readAllStandardOutput() + mpv.readAllStandardError()).count("Playing: "), 10);
    } else if (!qEnvironmentVariableIsEmpty("QUORVEX_REQUIRE_PLAYER")) {
        ADD_FAILURE() << "mpv is missing";
    }

    // MUSIC is a level: two more are read, the deeper ones folded into the last.
    QString deep = "albums";
    for (char level = 'a'; level <= 'j'; ++level)
        deep += QStringLiteral("/") + QLatin1Char(level);
    tree.WriteFile(deep + "/track.mp3", silence);
    const Outcome outcome = Run({"--source-tree", tree.Path("albums"), "-d", music, "--whole-folders", "-n", "1"});
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(QFile::exists(music + "/a/b - c - d - e - f - g - h - i - j/track.mp3"))
        << QDir(music + "/a").entryList().join(' ').toStdString();
}

// car-mp3 reads 255 files a folder: a fill of 600 files lands in three
// folders, and the next refresh night leaves one mix of them and no other.
TEST_F(CommandLine, ACarFillIsSpreadOver255FilesAFolder)
{
    for (int i = 1; i <= 600; ++i)
        tree.WriteFile(QStringLiteral("lib/note%1.txt").arg(i, 3, 10, QChar(u'0')), "x");
    const QString out = tree.MakeFolder("out");
    for (int night = 0; night < 2; ++night) {
        const Outcome outcome = Run({"-s", tree.Path("lib"), "-d", out, "--fill", "--refresh", "--device", "car-mp3", "-q"});
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList {"01", "02", "03"}));
        EXPECT_EQ(QDir(out + "/01").entryList(QDir::Files).size(), 255);
        EXPECT_EQ(QDir(out + "/02").entryList(QDir::Files).size(), 255);
        EXPECT_EQ(QDir(out + "/03").entryList(QDir::Files).size(), 90);
    }
}
