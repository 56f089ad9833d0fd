#include "tags/AudioFacts.h"
#include "device/Ffmpeg.h"
#include "device/Ffprobe.h"
#include "device/Id3v1Tag.h"
#include "support/AudioFixtures.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace {

// True when a test cannot run for want of ffmpeg; a failure as well where
// the run must have it (QUORVEX_REQUIRE_FFMPEG).
bool WithoutFfmpeg()
{
    if (fixtures::HaveAudioTools())
        return false;
    if (qEnvironmentVariableIsSet("QUORVEX_REQUIRE_FFMPEG"))
        ADD_FAILURE() << "ffmpeg and ffprobe are not on PATH";
    return true;
}

QByteArray BigEndian(std::uint64_t value, int size)
{
    QByteArray bytes;
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
        bytes += static_cast<char>(value >> shift & 0xFF);
    return bytes;
}

// A picture's facts in a few words, or "none".
std::string Described(const std::optional<PictureFacts>& facts)
{
    if (!facts)
        return "none";
    const char* kind = !facts->jpeg ? "png" : facts->baseline ? "baseline jpeg" : "progressive jpeg";
    return std::to_string(facts->width) + 'x' + std::to_string(facts->height) + ' ' + kind;
}

// A JPEG segment: its marker and length, then body.
QByteArray Segment(char marker, const QByteArray& body)
{
    return QByteArray("\xFF") + marker + BigEndian(static_cast<std::uint64_t>(body.size()) + 2, 2) + body;
}

// A JPEG's header as encoders write it, up to its scan, with the frame
// header of marker (C0 baseline, C1 extended sequential, C2 progressive).
QByteArray JpegHeader(char marker, int width, int height)
{
    const QByteArray frame =
        QByteArray("\x08") + BigEndian(height, 2) + BigEndian(width, 2) + QByteArray("\x01\x01\x11\x00", 4);
    return QByteArray("\xFF\xD8") + Segment('\xE0', QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14))
         + Segment('\xDB', QByteArray(65, '\x01')) + Segment('\xC4', QByteArray(20, '\0')) + Segment(marker, frame)
         + Segment('\xDA', QByteArray("\x01\x01\0\0\x3F\0", 6));
}

QByteArray PngHeader(std::uint64_t width, std::uint64_t height)
{
    return QByteArray("\x89PNG\r\n\x1A\n") + BigEndian(13, 4) + "IHDR" + BigEndian(width, 4) + BigEndian(height, 4)
         + QByteArray("\x08\x02\0\0\0", 5) + BigEndian(0, 4);
}

// An ISO base media box; a large one has the 64-bit size.
QByteArray Box(const char* type, const QByteArray& body)
{
    return BigEndian(static_cast<std::uint64_t>(body.size()) + 8, 4) + type + body;
}

QByteArray LargeBox(const char* type, const QByteArray& body)
{
    return BigEndian(1, 4) + type + BigEndian(static_cast<std::uint64_t>(body.size()) + 16, 8) + body;
}

// An MPEG-4 descriptor, its size in four bytes as ffmpeg writes it.
QByteArray Descriptor(char tag, const QByteArray& body)
{
    QByteArray descriptor(1, tag);
    const auto size = static_cast<std::uint64_t>(body.size());
    for (int shift = 21; shift > 0; shift -= 7)
        descriptor += static_cast<char>(0x80 | (size >> shift & 0x7F));
    return descriptor + static_cast<char>(size & 0x7F) + body;
}

// An MP4 file of one AAC track whose AudioSpecificConfig is config, with
// its movie box at the end, after a box of 64-bit size.
QByteArray Mp4WithAudioConfig(const QByteArray& config)
{
    const QByteArray decoderConfig = QByteArray("\x40\x15", 2) + QByteArray(11, '\0') + Descriptor(0x05, config);
    const QByteArray stream = BigEndian(1, 2) + '\0' + Descriptor(0x04, decoderConfig) + Descriptor(0x06, "\x02");
    const QByteArray esds = Box("esds", BigEndian(0, 4) + Descriptor(0x03, stream));
    const QByteArray mp4a = Box("mp4a", QByteArray(6, '\0') + BigEndian(1, 2) + QByteArray(8, '\0') + BigEndian(2, 2)
                                            + BigEndian(16, 2) + BigEndian(0, 4) + BigEndian(44100u << 16, 4) + esds);
    const QByteArray stsd = Box("stsd", BigEndian(0, 4) + BigEndian(1, 4) + mp4a);
    const QByteArray stbl = Box("stbl", stsd + Box("stts", BigEndian(0, 8)));
    const QByteArray mdia = Box("mdia", Box("mdhd", QByteArray(24, '\0')) + Box("hdlr", QByteArray(25, '\0'))
                                            + Box("minf", Box("smhd", QByteArray(8, '\0')) + stbl));
    return Box("ftyp", QByteArray("M4A \0\0\0\0", 8)) + LargeBox("mdat", QByteArray(64, '\x55'))
         + Box("moov", Box("mvhd", QByteArray(100, '\0')) + Box("trak", Box("tkhd", QByteArray(84, '\0')) + mdia));
}

// An ID3v1 field as written: its text padded with zeros.
QByteArray Field(const QByteArray& text, int size) { return text + QByteArray(size - text.size(), '\0'); }

// A fixture, and what it is.
struct Made {
    const char* name;
    QString (*make)(const QString& path);
    const char* codec;
    const char* container;
    int sampleRate;
    int bitRate; // kbit/s, within a tenth; 0: that there is one
    int id3v2Version;
    int coverSide; // 0: none
    bool coverJpeg;
    bool aacLowComplexity;
    bool albumArtistAndDisc; // WAV's INFO holds neither
    int channels = 2;
    bool tagged = true; // title, artist, album, genre, year and track
};


} // namespace

TEST(AudioFacts, EachKindOfFileIsReadForWhatItIs)
{
    if (WithoutFfmpeg())
        GTEST_SKIP() << "no ffmpeg on PATH";
    const Made made[] = {
        {"song.flac", [](const QString& path) { return fixtures::Flac96k24WithCover(path); }, "flac", "flac", 96000,
         0, 0, 600, false, false, true},
        {"song.opus", fixtures::OpusWithCover, "opus", "ogg", 48000, 0, 0, 600, true, false, true},
        {"song.m4a", fixtures::M4aWithCover, "aac", "mp4", 44100, 0, 0, 600, true, true, true},
        {"song.ogg", fixtures::Vorbis, "vorbis", "ogg", 44100, 0, 0, 0, false, false, true},
        {"song.wav", fixtures::Wav, "pcm_s16le", "wav", 44100, 1411, 0, 0, false, false, false},
        {"fitting.mp3", fixtures::Mp3Fitting, "mp3", "mp3", 44100, 192, 3, 0, false, false, true},
        {"big-cover.mp3", fixtures::Mp3BigCoverV24, "mp3", "mp3", 44100, 192, 4, 2000, true, false, true},
        {"song.wv", fixtures::WavPack, "wavpack", "wv", 44100, 0, 0, 0, false, false, false},
        {"song.mpc", fixtures::Musepack, "musepack8", "mpc", 44100, 0, 0, 0, false, false, false},
        {"voice.spx", fixtures::Speex, "speex", "ogg", 16000, 0, 0, 0, false, false, false, 1, false},
        {"song.tta", [](const QString& path) { return fixtures::ByFfmpeg(path, {"-c:a", "tta"}); }, "tta", "tta", 44100, 0, 0, 0, false, false, false, 2, false},
        {"alac.m4a", [](const QString& path) { return fixtures::ByFfmpeg(path, {"-c:a", "alac"}); }, "alac", "mp4", 44100, 0, 0, 0, false, false, true},
        {"song.mp2", [](const QString& path) { return fixtures::ByFfmpeg(path, {"-c:a", "mp2"}); }, "mp2", "mp3", 44100, 0, 0, 0,
         false, false, false, 2, false},
    };
    TempTree tree;
    for (const Made& file : made) {
        SCOPED_TRACE(file.name);
        const QString path = file.make(tree.Path(QString::fromLatin1(file.name)));
        ASSERT_FALSE(path.isEmpty());
        const AudioFacts facts = ReadAudioFacts(path);
        EXPECT_EQ(facts.codec, file.codec);
        EXPECT_EQ(facts.container, file.container);
        EXPECT_EQ(facts.sampleRate, file.sampleRate);
        EXPECT_EQ(facts.channels, file.channels);
        EXPECT_GT(facts.bitRate, 0);
        if (file.bitRate > 0) {
            EXPECT_NEAR(facts.bitRate, file.bitRate, file.bitRate / 10);
        }
        EXPECT_NEAR(facts.lengthMs, 3000, 150);
        EXPECT_EQ(facts.id3v2Version, file.id3v2Version);
        EXPECT_FALSE(facts.id3v1);
        EXPECT_EQ(facts.aacLowComplexity, file.aacLowComplexity);
        EXPECT_EQ(AacObjectTypeOf(path), file.aacLowComplexity ? std::optional(2) : std::nullopt);
        const std::string cover = !file.coverSide ? "none"
                                : std::to_string(file.coverSide) + 'x' + std::to_string(file.coverSide)
                                      + (file.coverJpeg ? " baseline jpeg" : " png");
        EXPECT_EQ(Described(facts.cover), cover);
        if (!file.tagged)
            continue;
        EXPECT_EQ(facts.tags.title, QStringLiteral("Tïtle Ω"));
        EXPECT_EQ(facts.tags.artist, QStringLiteral("Ärtist 日本"));
        EXPECT_EQ(facts.tags.album, QStringLiteral("Albüm"));
        EXPECT_EQ(facts.tags.genre, QStringLiteral("Rock"));
        EXPECT_EQ(facts.tags.year, 2021u);
        EXPECT_EQ(facts.tags.track, 3u);
        EXPECT_EQ(facts.tags.albumArtist, file.albumArtistAndDisc ? QStringLiteral("Various") : QString());
        EXPECT_EQ(facts.tags.disc, file.albumArtistAndDisc ? 1u : 0u);
    }
}

TEST(AudioFacts, AFileIsToldByItsContentsNotByItsName)
{
    if (WithoutFfmpeg())
        GTEST_SKIP() << "no ffmpeg on PATH";
    TempTree tree;
    const QString mp3 = fixtures::Mp3Fitting(tree.Path(QStringLiteral("song.mp3")));
    const QString flac = fixtures::PlainFlac(tree.Path(QStringLiteral("plain.flac")));
    ASSERT_FALSE(mp3.isEmpty());
    ASSERT_FALSE(flac.isEmpty());
    ASSERT_TRUE(QFile::copy(mp3, tree.Path(QStringLiteral("mp3.flac"))));
    ASSERT_TRUE(QFile::copy(flac, tree.Path(QStringLiteral("flac.m4a"))));
    EXPECT_EQ(ReadAudioFacts(tree.Path(QStringLiteral("mp3.flac"))).container, QStringLiteral("mp3"));
    EXPECT_EQ(ReadAudioFacts(tree.Path(QStringLiteral("flac.m4a"))).container, QStringLiteral("flac"));
    // ffmpeg fails on it, but what it is can still be read: it is converted
    // and fails there, where the failure is told.
    EXPECT_EQ(ReadAudioFacts(fixtures::DamagedFlac(tree.Path(QStringLiteral("damaged.flac")))).codec,
              QStringLiteral("flac"));

    const QByteArray jpeg = JpegHeader('\xC0', 64, 64) + QByteArray(200, '\x33') + "\xFF\xD9";
    for (const auto& [name, bytes] : {std::pair {"text.mp3", QByteArray("Not a song.\n")},
                                      std::pair {"notes.txt", QByteArray("Not a song.\n")},
                                      std::pair {"cover.jpg", jpeg}, std::pair {"cover.mp3", jpeg},
                                      std::pair {"empty.mp3", QByteArray()}}) {
        EXPECT_FALSE(ReadAudioFacts(tree.WriteFile(QString::fromLatin1(name), bytes)).IsAudio()) << name;
    }
    EXPECT_FALSE(ReadAudioFacts(tree.Path(QStringLiteral("missing.mp3"))).IsAudio());
}

// DSD, AC-3, E-AC-3, AU and Matroska no reader in this process takes:
// their names or first bytes say audio, and ffprobe tells what they are.
// A file that is none holds no audio for ffprobe either.
TEST(AudioFacts, WhatNoReaderHereTakesIsAskedOfFfprobe)
{
    if (WithoutFfmpeg())
        GTEST_SKIP() << "no ffmpeg on PATH";
    const QString ffprobe = FindFfprobe(FindFfmpeg());
    ASSERT_FALSE(ffprobe.isEmpty());
    TempTree tree;
    const std::pair<QString, const char*> probed[] = {
        {fixtures::Dsf(tree.Path("dsd.dsf")), "dsd_lsbf_planar"},
        {fixtures::ByFfmpeg(tree.Path("song.ac3"), {"-c:a", "ac3"}), "ac3"},
        {fixtures::ByFfmpeg(tree.Path("song.eac3"), {"-c:a", "eac3"}), "eac3"},
        {fixtures::ByFfmpeg(tree.Path("song.au"), {"-c:a", "pcm_s16be"}), "pcm_s16be"},
        {fixtures::ByFfmpeg(tree.Path("song.mka"), {"-c:a", "flac"}), "flac"},
    };
    for (const auto& [path, codec] : probed) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_FALSE(path.isEmpty());
        EXPECT_FALSE(ReadAudioFacts(path).IsAudio());
        EXPECT_TRUE(SaysAudio(path));
        const std::optional<AudioFacts> facts = ProbeAudioFacts(ffprobe, path);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->codec, codec);
        EXPECT_EQ(facts->channels, 2);
        EXPECT_NEAR(facts->lengthMs, 3000, 150);
        EXPECT_GT(facts->bitRate, 0);
    }
    const AudioFacts mka = ProbeAudioFacts(ffprobe, tree.Path("song.mka")).value_or(AudioFacts {});
    EXPECT_EQ(mka.container, "matroska");
    EXPECT_EQ(mka.tags.artist, QStringLiteral("Ärtist 日本"));
    EXPECT_EQ(mka.tags.albumArtist, QStringLiteral("Various"));
    EXPECT_EQ(mka.tags.track, 3u);
    EXPECT_EQ(mka.tags.year, 2021u);

    // Told by their first bytes, whatever their names; text is no audio.
    ASSERT_TRUE(QFile::copy(tree.Path("dsd.dsf"), tree.Path("dsd.bin")));
    EXPECT_TRUE(SaysAudio(tree.Path("dsd.bin")));
    EXPECT_FALSE(SaysAudio(tree.WriteFile("notes.bin", "Not a song.\n")));
    const QString garbage = tree.WriteFile("garbage.flac", QByteArray(2048, '\x5A'));
    EXPECT_TRUE(NamedAsSong(garbage));
    EXPECT_FALSE(ProbeAudioFacts(ffprobe, garbage).value_or(UnreadAudio()).IsAudio());
    EXPECT_FALSE(ProbeAudioFacts(tree.Path("no-ffprobe"), garbage).has_value()) << "cannot be started";
}

TEST(AudioFactsPicture, SizeAndKindComeFromTheHeaderAlone)
{
    const QByteArray baseline = JpegHeader('\xC0', 640, 480);
    const QByteArray png = PngHeader(300, 200);
    const struct {
        const char* what;
        QByteArray bytes;
        const char* facts;
    } cases[] = {
        {"baseline", baseline, "640x480 baseline jpeg"},
        {"extended sequential", JpegHeader('\xC1', 640, 480), "640x480 baseline jpeg"},
        {"progressive", JpegHeader('\xC2', 1200, 900), "1200x900 progressive jpeg"},
        {"fill bytes before a marker", QByteArray(baseline).insert(2, "\xFF\xFF"), "640x480 baseline jpeg"},
        {"png", png, "300x200 png"},
        {"jpeg cut in its frame header", baseline.first(baseline.indexOf("\xFF\xC0") + 7), "none"},
        {"jpeg segment longer than the bytes", QByteArray("\xFF\xD8\xFF\xE0\xFF\xFF\0\0", 8), "none"},
        {"jpeg segment of length 0", QByteArray("\xFF\xD8\xFF\xE0\0\0\xFF\xC0", 8), "none"},
        {"jpeg of fill bytes alone", QByteArray("\xFF\xD8") + QByteArray(64, '\xFF'), "none"},
        {"jpeg scan before any frame", QByteArray("\xFF\xD8\xFF\xDA\0\x02\xFF\xC0\0\x0B\x08\0\x10\0\x10", 15), "none"},
        {"jpeg with no marker after its start", QByteArray("\xFF\xD8\x00\x00", 4), "none"},
        {"png cut before its height", png.first(20), "none"},
        {"png whose first chunk is no IHDR", QByteArray(png).replace("IHDR", "IDAT"), "none"},
        {"png wider than an int", PngHeader(0xFFFFFFFF, 10), "none"},
        {"gif", QByteArray("GIF89a\x10\0\x10\0", 10), "none"},
        {"nothing", QByteArray(), "none"},
    };
    for (const auto& picture : cases) {
        const std::optional<PictureFacts> facts = PictureFactsOf(picture.bytes);
        EXPECT_EQ(Described(facts), picture.facts) << picture.what;
        if (facts) {
            EXPECT_EQ(facts->bytes, static_cast<std::uint64_t>(picture.bytes.size())) << picture.what;
        }
    }
}

TEST(AudioFactsAac, ObjectTypeComesFromTheEsdsBox)
{
    TempTree tree;
    const QByteArray heAac = Mp4WithAudioConfig(QByteArray("\x2B\x92\x08\x00", 4));
    const struct {
        const char* what;
        QByteArray bytes;
        std::optional<int> type;
    } cases[] = {
        {"AAC-LC", Mp4WithAudioConfig("\x12\x10"), 2},
        {"HE-AAC", heAac, 5},
        {"an escaped type (USAC, 42)", Mp4WithAudioConfig(QByteArray("\xF9\x40", 2)), 42},
        {"an escaped type cut short", Mp4WithAudioConfig(QByteArray("\xF8", 1)), std::nullopt},
        {"no config", Mp4WithAudioConfig({}), std::nullopt},
        {"cut short", heAac.chopped(10), std::nullopt},
        {"a box smaller than its header", QByteArray(heAac).replace(0, 4, BigEndian(4, 4)), std::nullopt},
        {"a descriptor longer than its box", QByteArray(heAac).replace("\x05\x80\x80\x80\x04", "\x05\x80\x80\x80\x7F"),
         std::nullopt},
        {"no MP4", QByteArray("Not a song.\n"), std::nullopt},
    };
    for (const auto& file : cases) {
        const QString path = tree.WriteFile(QStringLiteral("song.m4a"), file.bytes);
        EXPECT_EQ(AacObjectTypeOf(path), file.type) << file.what;
    }
    EXPECT_EQ(AacObjectTypeOf(tree.Path(QStringLiteral("missing.m4a"))), std::nullopt);
}

TEST(Id3v1, WhatLatin1CannotHoldIsFolded)
{
    EXPECT_EQ(Latin1Folded(QStringLiteral("Café")), QByteArray("Caf\xE9"));
    EXPECT_EQ(Latin1Folded(QStringLiteral("Café").normalized(QString::NormalizationForm_D)), QByteArray("Caf\xE9"));
    EXPECT_EQ(Latin1Folded(QStringLiteral("Łódź")), QByteArray("L\xF3" "dz"));
    EXPECT_EQ(Latin1Folded(QStringLiteral("Straße œuvre")), QByteArray("Stra\xDF" "e oeuvre"));
    EXPECT_EQ(Latin1Folded(QStringLiteral("日本 Ω 🎵")), QByteArray("__ _ _"));
}

TEST(Id3v1, IsWrittenInLatin1AtTheEndAndLeavesId3v2AsItWas)
{
    if (WithoutFfmpeg())
        GTEST_SKIP() << "no ffmpeg on PATH";
    TempTree tree;
    const QString mp3 = fixtures::Mp3Fitting(tree.Path(QStringLiteral("song.mp3")));
    ASSERT_FALSE(mp3.isEmpty());
    AudioTags tags;
    tags.title = QStringLiteral("Café Łódź");
    tags.artist = QStringLiteral("Ärtist 日本");
    tags.album = QStringLiteral("Albüm");
    tags.genre = QStringLiteral("Rock");
    tags.year = 2021;
    tags.track = 3;
    ASSERT_TRUE(WriteLatin1Id3v1(mp3, tags));

    const QByteArray written = FileBytes(mp3);
    const QByteArray id3v1 = written.right(128);
    EXPECT_EQ(id3v1.first(3), "TAG");
    EXPECT_EQ(id3v1.sliced(3, 30), Field("Caf\xE9 L\xF3" "dz", 30));
    EXPECT_EQ(id3v1.sliced(33, 30), Field("\xC4rtist __", 30));
    EXPECT_EQ(id3v1.sliced(63, 30), Field("Alb\xFCm", 30));
    EXPECT_EQ(id3v1.sliced(93, 4), "2021");
    EXPECT_EQ(id3v1.sliced(125, 3), QByteArray("\0\x03\x11", 3)); // track 3, genre 17 (Rock)
    const AudioFacts facts = ReadAudioFacts(mp3);
    EXPECT_TRUE(facts.id3v1);
    EXPECT_EQ(facts.id3v2Version, 3);
    EXPECT_EQ(facts.tags.title, QStringLiteral("Tïtle Ω"));
    EXPECT_EQ(facts.tags.albumArtist, QStringLiteral("Various"));

    // Written again, the tag takes the place of the one before.
    tags.title = QStringLiteral("Second");
    ASSERT_TRUE(WriteLatin1Id3v1(mp3, tags));
    EXPECT_EQ(FileBytes(mp3).size(), written.size());
}
