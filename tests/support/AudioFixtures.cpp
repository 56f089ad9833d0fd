#include "AudioFixtures.h"
#include "RunTool.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <iostream>

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

// Whether ffmpeg decodes the whole file without an error.
bool Decodes(const QString& path)
{
    return RunTool(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "error", "-i", HostPath(path), "-f", "null", "-"}).isEmpty();
}

} // namespace

bool HaveFfmpeg()
{
    return !HostTool(QStringLiteral("ffmpeg")).isEmpty() && !HostTool(QStringLiteral("ffprobe")).isEmpty();
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

QString PlainFlac(const QString& path, double seconds)
{
    return Ffmpeg(Tone(seconds) + QStringList {"-ac", "2", "-c:a", "flac"} + kTags, path);
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
