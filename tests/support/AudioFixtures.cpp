#include "AudioFixtures.h"
#include "RunTool.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <utility>

namespace fixtures {

namespace {

constexpr double kSeconds = 3.0;
constexpr int kCoverSide = 600;

// A container drops those it has no place for: WAV's INFO holds neither
// the album artist nor the disc.
const QStringList kTags {
    "-metadata", "title=Tïtle Ω",        "-metadata", "artist=Ärtist 日本", "-metadata", "album=Albüm",
    "-metadata", "album_artist=Various", "-metadata", "track=3",           "-metadata", "disc=1",
    "-metadata", "date=2021",            "-metadata", "genre=Rock",
};

// Runs ffmpeg to write path afresh, its folder made: path, or empty with
// ffmpeg's words in the test's log.
QString Ffmpeg(const QStringList& arguments, const QString& path)
{
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QStringList quiet {"-nostdin", "-y", "-loglevel", "error"};
    const QString problem = RunTool(QStringLiteral("ffmpeg"), quiet + arguments + QStringList {HostPath(path)});
    if (problem.isEmpty())
        return path;
    ADD_FAILURE() << path.toStdString() << ": " << problem.toStdString();
    return {};
}

// A tone of seconds as the first input.
QStringList Tone(double seconds, int sampleRate = 44100)
{
    return {"-f", "lavfi", "-i",
            QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(sampleRate).arg(seconds)};
}

// Noise, which FLAC cannot pack small: its frames fill the file.
QStringList Noise(double seconds)
{
    return {"-f", "lavfi", "-i", QStringLiteral("anoisesrc=sample_rate=44100:duration=%1").arg(seconds)};
}

// A test pattern of side by side pixels as the next input. It ends, as
// an endless one keeps the FLAC muxer waiting for more.
QStringList Pattern(int side)
{
    return {"-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1x%1:rate=1:duration=1").arg(side)};
}

// The tone in stereo, and the pattern's first frame as its cover.
QStringList WithCover(const char* pictureCodec)
{
    return {"-map", "0:a", "-map", "1:v", "-frames:v", "1", "-c:v", pictureCodec, "-disposition:v", "attached_pic",
            "-ac",  "2"};
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A JPEG of the pattern, made beside path and taken away again.
QByteArray JpegCover(const QString& path, int side)
{
    const QString cover = path + QStringLiteral(".cover.jpg");
    if (Ffmpeg(Pattern(side) + QStringList {"-frames:v", "1", "-c:v", "mjpeg", "-f", "image2"}, cover).isEmpty())
        return {};
    const QByteArray jpeg = ReadBytes(cover);
    QFile::remove(cover);
    return jpeg;
}

// A front cover as a FLAC picture block, the form that Xiph comments carry
// in METADATA_BLOCK_PICTURE.
QByteArray FlacPictureBlock(const QByteArray& jpeg, int side)
{
    const QByteArray mime = "image/jpeg";
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly); // big-endian
    out << quint32(3) << quint32(mime.size());
    out.writeRawData(mime.constData(), static_cast<int>(mime.size()));
    out << quint32(0) << quint32(side) << quint32(side) << quint32(24) << quint32(0) << quint32(jpeg.size());
    out.writeRawData(jpeg.constData(), static_cast<int>(jpeg.size()));
    return block;
}

// The tone as a WAV beside path, encoded into path by program, whose
// arguments name the WAV as {in} and the song as {out}.
QString Encoded(const QString& path, const QString& program, QStringList arguments, int sampleRate = 44100, int channels = 2)
{
    const QString wav = path + QStringLiteral(".wav");
    if (Ffmpeg(Tone(kSeconds, sampleRate) + QStringList {"-ac", QString::number(channels), "-c:a", "pcm_s16le"}, wav).isEmpty())
        return {};
    QFile::remove(path);
    arguments.replaceInStrings(QStringLiteral("{in}"), HostPath(wav));
    arguments.replaceInStrings(QStringLiteral("{out}"), HostPath(path));
    const QString problem = RunTool(program, arguments);
    QFile::remove(wav);
    if (problem.isEmpty())
        return path;
    ADD_FAILURE() << path.toStdString() << ": " << problem.toStdString();
    return {};
}

// An MP3 of the tone that carries no tag at all.
QByteArray UntaggedMp3(const QString& path)
{
    const QString plain = path + QStringLiteral(".plain.mp3");
    if (Ffmpeg(Tone(kSeconds) + QStringList {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "192k", "-id3v2_version", "0",
                                             "-write_id3v1", "0"},
               plain).isEmpty())
        return {};
    const QByteArray bytes = ReadBytes(plain);
    QFile::remove(plain);
    return bytes;
}

QString Written(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!bytes.isEmpty() && WriteBytes(path, bytes))
        return path;
    ADD_FAILURE() << path.toStdString() << ": cannot be written";
    return {};
}

QByteArray BigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray LittleEndian(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// Whether ffmpeg decodes the whole file without an error.
bool Decodes(const QString& path)
{
    return RunTool(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "error", "-i", HostPath(path), "-f", "null", "-"}).isEmpty();
}

} // namespace

bool HaveAudioTools()
{
    for (const char* tool : {"ffmpeg", "ffprobe", "wavpack", "mpcenc", "speexenc"}) {
        if (HostTool(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    return true;
}

QString Flac96k24WithCover(const QString& path, int coverSide)
{
    // ffmpeg's FLAC encoder writes 24 bits of 32-bit samples.
    return Ffmpeg(Tone(kSeconds, 96000) + Pattern(coverSide) + WithCover("png")
                      + QStringList {"-c:a", "flac", "-sample_fmt", "s32"} + kTags,
                  path);
}

QString OpusWithCover(const QString& path)
{
    // ffmpeg 5.1 muxes no picture stream into Ogg, but writes any tag it is
    // given: the cover goes in as the comment a picture is in Ogg.
    const QByteArray jpeg = JpegCover(path, kCoverSide);
    if (jpeg.isEmpty())
        return {};
    const QString picture = QStringLiteral("METADATA_BLOCK_PICTURE=")
                          + QString::fromLatin1(FlacPictureBlock(jpeg, kCoverSide).toBase64());
    return Ffmpeg(Tone(kSeconds, 48000) + QStringList {"-ac", "2", "-c:a", "libopus", "-b:a", "96k"} + kTags
                      + QStringList {"-metadata", picture},
                  path);
}

QString M4aWithCover(const QString& path)
{
    return Ffmpeg(Tone(kSeconds) + Pattern(kCoverSide) + WithCover("mjpeg")
                      + QStringList {"-c:a", "aac", "-b:a", "128k", "-ar", "44100"} + kTags,
                  path);
}

QString Vorbis(const QString& path)
{
    return Ffmpeg(Tone(kSeconds) + QStringList {"-ac", "2", "-c:a", "libvorbis", "-q:a", "4"} + kTags, path);
}

QString Wav(const QString& path)
{
    return Ffmpeg(Tone(kSeconds) + QStringList {"-ac", "2", "-c:a", "pcm_s16le"} + kTags, path);
}

QString Mp3Fitting(const QString& path)
{
    return Ffmpeg(Tone(kSeconds)
                      + QStringList {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "192k", "-ar", "44100", "-id3v2_version",
                                     "3", "-write_id3v1", "0"}
                      + kTags,
                  path);
}

QString Mp3BigCoverV24(const QString& path)
{
    return Ffmpeg(Tone(kSeconds) + Pattern(2000) + WithCover("mjpeg")
                      + QStringList {"-c:a", "libmp3lame", "-b:a", "192k", "-ar", "44100", "-id3v2_version", "4"}
                      + kTags,
                  path);
}

QString DamagedFlac(const QString& path)
{
    if (Ffmpeg(Noise(kSeconds) + QStringList {"-ac", "2", "-c:a", "flac"} + kTags, path).isEmpty())
        return {};
    QByteArray bytes = ReadBytes(path);
    bytes.truncate(bytes.size() * 6 / 10);
    const qsizetype middle = bytes.size() / 2;
    bytes.replace(middle - 2000, 4000, QByteArray(4000, '\xFF'));
    if (!WriteBytes(path, bytes)) {
        ADD_FAILURE() << path.toStdString() << ": cannot be damaged";
        return {};
    }
    if (!Decodes(path))
        return path;
    // ffmpeg's decoder skips the frames it cannot read. Block sizes below 16
    // in STREAMINFO make it refuse the stream, while TagLib still reads its
    // sample rate and length there.
    bytes.replace(8, 4, QByteArray(4, '\0'));
    if (WriteBytes(path, bytes) && !Decodes(path))
        return path;
    ADD_FAILURE() << path.toStdString() << ": ffmpeg still decodes it, damaged";
    return {};
}

QString ByFfmpeg(const QString& path, const QStringList& codec)
{
    return Ffmpeg(Tone(kSeconds) + QStringList {"-ac", "2"} + codec + kTags, path);
}

QString WavPack(const QString& path)
{
    return Encoded(path, "wavpack", {"-q", "-y", "-w", "Title=Tïtle Ω", "-w", "Artist=Ärtist 日本", "-w", "Album=Albüm",
                                     "-w", "Track=3", "-w", "Year=2021", "-w", "Genre=Rock", "{in}", "-o", "{out}"});
}

QString Musepack(const QString& path)
{
    return Encoded(path, "mpcenc", {"--silent", "--overwrite", "--title", "Tïtle Ω", "--artist", "Ärtist 日本", "--album",
                                    "Albüm", "--track", "3", "--year", "2021", "--genre", "Rock", "{in}", "{out}"});
}

QString Speex(const QString& path)
{
    return Encoded(path, "speexenc", {"--quiet", "--title", "Tïtle Ω", "--author", "Ärtist 日本", "{in}", "{out}"}, 16000, 1);
}

// The tone through a first-order sigma-delta modulator, both channels
// alike, in blocks of 4096 bytes a channel, least significant bit first.
QString Dsf(const QString& path)
{
    constexpr quint32 kRate = 2'822'400;
    constexpr int kBlock = 4096;
    constexpr int kChannels = 2;
    const quint64 samples = static_cast<quint64>(kRate * kSeconds);
    const qsizetype blocks = static_cast<qsizetype>((samples / 8 + kBlock - 1) / kBlock);
    QByteArray channel(blocks * kBlock, '\x69'); // DSD's silence pattern fills the last block
    double integral = 0;
    for (quint64 i = 0; i < samples; ++i) {
        const double x = 0.5 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / kRate);
        const bool one = integral >= 0;
        integral += x - (one ? 1.0 : -1.0);
        char& byte = channel[static_cast<qsizetype>(i / 8)];
        if (i % 8 == 0)
            byte = 0;
        if (one)
            byte = static_cast<char>(byte | (1 << (i % 8)));
    }
    QByteArray data;
    for (qsizetype block = 0; block < blocks; ++block) {
        for (int c = 0; c < kChannels; ++c)
            data += channel.mid(block * kBlock, kBlock);
    }
    QByteArray format = "fmt " + LittleEndian(52, 8) + LittleEndian(1, 4) + LittleEndian(0, 4) + LittleEndian(2, 4)
                      + LittleEndian(kChannels, 4) + LittleEndian(kRate, 4) + LittleEndian(1, 4) + LittleEndian(samples, 8)
                      + LittleEndian(kBlock, 4) + LittleEndian(0, 4);
    const QByteArray dataChunk = "data" + LittleEndian(12 + static_cast<quint64>(data.size()), 8) + data;
    const quint64 total = 28 + static_cast<quint64>(format.size() + dataChunk.size());
    return Written(path, "DSD " + LittleEndian(28, 8) + LittleEndian(total, 8) + LittleEndian(0, 8) + format + dataChunk);
}

QString Mp3Id3v22(const QString& path)
{
    // Three-letter frames of UTF-16 text, with their sizes in three bytes.
    QByteArray frames;
    for (const auto& [id, text] : {std::pair {"TT2", u"Tïtle Ω"}, {"TP1", u"Ärtist 日本"}, {"TAL", u"Albüm"}, {"TRK", u"3"}}) {
        const QString value = QString::fromUtf16(text);
        const QByteArray body = QByteArray("\x01\xFF\xFE", 3)
                              + QByteArray(reinterpret_cast<const char*>(value.utf16()), value.size() * 2);
        frames += id + BigEndian(static_cast<quint32>(body.size()), 3) + body;
    }
    QByteArray size;
    for (int shift = 21; shift >= 0; shift -= 7) // synchsafe: seven bits a byte
        size += static_cast<char>((frames.size() >> shift) & 0x7F);
    const QByteArray audio = UntaggedMp3(path);
    return Written(path, audio.isEmpty() ? QByteArray() : QByteArray("ID3\x02\0\0", 6) + size + frames + audio);
}

QString Mp3ApeOnly(const QString& path)
{
    QByteArray items;
    int count = 0;
    for (const auto& [key, value] : {std::pair {"Title", "Tïtle Ω"}, {"Artist", "Ärtist 日本"}, {"Album", "Albüm"},
                                      {"Track", "3"}, {"Year", "2021"}, {"Genre", "Rock"}}) {
        const QByteArray text = QByteArray(value);
        items += LittleEndian(static_cast<quint64>(text.size()), 4) + LittleEndian(0, 4) + key + '\0' + text;
        ++count;
    }
    const auto header = [&](quint32 flags) {
        return "APETAGEX" + LittleEndian(2000, 4) + LittleEndian(static_cast<quint64>(items.size() + 32), 4)
             + LittleEndian(static_cast<quint64>(count), 4) + LittleEndian(flags, 4) + QByteArray(8, '\0');
    };
    const QByteArray audio = UntaggedMp3(path);
    return Written(path, audio.isEmpty() ? QByteArray() : audio + header(0xA0000000) + items + header(0x80000000));
}

QString Mp3Id3v24(const QString& path)
{
    return ByFfmpeg(path, {"-c:a", "libmp3lame", "-b:a", "192k", "-ar", "44100", "-id3v2_version", "4"});
}

QString FlacHeaderOnly(const QString& path)
{
    if (PlainFlac(path).isEmpty())
        return {};
    const QByteArray bytes = ReadBytes(path);
    const auto byte = [&](qsizetype at) { return static_cast<unsigned char>(bytes[at]); };
    qsizetype end = 4; // past "fLaC", block by block to the last one's end
    for (bool last = false; !last && end + 4 <= bytes.size();) {
        last = byte(end) & 0x80;
        end += 4 + (byte(end + 1) << 16 | byte(end + 2) << 8 | byte(end + 3));
    }
    return Written(path, bytes.left(end));
}

QString NearlyEmptyM4b(const QString& path)
{
    return Ffmpeg(Tone(0.0005) + QStringList {"-c:a", "aac"} + kTags, path);
}

QString PlainFlac(const QString& path, double seconds)
{
    return Ffmpeg(Tone(seconds) + QStringList {"-ac", "2", "-c:a", "flac"} + kTags, path);
}

// Debian's, for which python3-mutagen is installed: a python3 of its own
// (pyenv's) may come first on PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

bool HaveMutagen()
{
    return !HostTool(kPython).isEmpty() && RunTool(kPython, {"-c", "import mutagen"}).isEmpty();
}

QString TaggedByMutagen(const QString& path, const QString& python)
{
    const QString script = QStringLiteral("import sys, mutagen\nfrom mutagen import id3, mp4\nf = mutagen.File(sys.argv[1])\n"
                                          "if f.tags is None:\n    f.add_tags()\n%1\nf.save()\n")
                               .arg(python);
    const QString problem = RunTool(kPython, {"-c", script, HostPath(path)});
    if (problem.isEmpty())
        return path;
    ADD_FAILURE() << path.toStdString() << ": " << problem.toStdString();
    return {};
}

QByteArray ProbeJson(const QString& path)
{
    QByteArray json;
    const QString problem = RunTool(QStringLiteral("ffprobe"),
                                {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", HostPath(path)}, &json);
    if (problem.isEmpty())
        return json;
    std::cerr << path.toStdString() << ": " << problem.toStdString() << '\n';
    return {};
}

} // namespace fixtures
