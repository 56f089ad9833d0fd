#pragma once

#include <QString>
#include <QStringList>

// Audio files made at test time with the real ffmpeg (its lavfi sources),
// each a few seconds long, with tags: title "Tïtle Ω", artist "Ärtist 日本",
// album "Albüm", album artist "Various", track 3, disc 1, year 2021, genre
// "Rock".
namespace fixtures {

// Whether the Linux machine has ffmpeg, ffprobe and Debian's encoders of
// WavPack, Musepack and Speex; a test without them is skipped, or fails
// where QUORVEX_REQUIRE_FFMPEG is set.
bool HaveAudioTools();

// Each writes the file at path (made afresh) and returns path; an empty
// string when ffmpeg failed, with its words in the test's log.
QString Flac96k24WithCover(const QString& path, int coverSide = 600);
QString OpusWithCover(const QString& path);
QString M4aWithCover(const QString& path); // AAC-LC at 44.1 kHz
QString Vorbis(const QString& path);
QString Wav(const QString& path);
QString Mp3Fitting(const QString& path);           // 44.1 kHz, 192 kbit/s CBR, ID3v2.3, no cover
QString Mp3BigCoverV24(const QString& path);       // 44.1 kHz, 192 kbit/s, ID3v2.4, a 2000x2000 cover
QString DamagedFlac(const QString& path);          // a FLAC cut short and overwritten in its middle

// The tone encoded by ffmpeg with codec's arguments, such as {"-c:a", "tta"}.
QString ByFfmpeg(const QString& path, const QStringList& codec);
// The tone encoded by Debian's own encoders, tagged as each tags.
QString WavPack(const QString& path);
QString Musepack(const QString& path);
QString Speex(const QString& path); // 16 kHz mono
// DSD at 2.8224 MHz in a DSF file, written here: Debian has no encoder of it.
QString Dsf(const QString& path);
// MP3s that play, tagged as a car reading ID3v2.3 shows nothing of:
// ID3v2.2 and APEv2 alone (written here), and ID3v2.4.
QString Mp3Id3v22(const QString& path);
QString Mp3ApeOnly(const QString& path);
QString Mp3Id3v24(const QString& path);
// Sources whose conversion ffmpeg ends well with no sound written: a FLAC
// cut short after its header, and an M4B of next to no samples.
QString FlacHeaderOnly(const QString& path);
QString NearlyEmptyM4b(const QString& path);

// A song of seconds length, plain FLAC without a cover (for many files at once).
QString PlainFlac(const QString& path, double seconds = 2.0);

// ffprobe's JSON (-show_format -show_streams) of a file; empty when it fails.
QByteArray ProbeJson(const QString& path);

// Whether Debian's python3 with its mutagen is there, which tags songs as
// players do.
bool HaveMutagen();
// Runs python on the song at path, opened by mutagen as f (given tags where
// it had none) and saved after: path, or empty with python's words in the
// test's log.
QString TaggedByMutagen(const QString& path, const QString& python);

} // namespace fixtures
