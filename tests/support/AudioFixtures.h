#pragma once

#include <QString>
#include <QStringList>

// Audio files made at test time with the real ffmpeg (its lavfi sources),
// each a few seconds long, with tags: title "Tïtle Ω", artist "Ärtist 日本",
// album "Albüm", album artist "Various", track 3, disc 1, year 2021, genre
// "Rock".
namespace fixtures {

// Whether the Linux machine has ffmpeg and ffprobe; a test without them is
// skipped, or fails where QUORVEX_REQUIRE_FFMPEG is set.
bool HaveFfmpeg();

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

// A song of seconds length, plain FLAC without a cover (for many files at once).
QString PlainFlac(const QString& path, double seconds = 2.0);

// ffprobe's JSON (-show_format -show_streams) of a file; empty when it fails.
QByteArray ProbeJson(const QString& path);

} // namespace fixtures
