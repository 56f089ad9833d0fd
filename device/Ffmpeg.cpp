#include "device/Ffmpeg.h"

#include "platform/ChildProcesses.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace {

#ifdef Q_OS_WIN
const QString kProgramName = QStringLiteral("ffmpeg.exe");
const QString kProbeName = QStringLiteral("ffprobe.exe");
#else
const QString kProgramName = QStringLiteral("ffmpeg");
const QString kProbeName = QStringLiteral("ffprobe");
// Where a program started without PATH (cron, env -i) finds the system's own.
const QStringList kDefaultPath = {QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"),
                                  QStringLiteral("/bin")};
#endif

bool IsProgram(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// A program of ffmpeg's beside ours, then on PATH, or where PATH is not set,
// in the system's default path.
QString FindBesideOrOnPath(const QString& name)
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QCoreApplication::instance() && IsProgram(beside))
        return beside;
    if (!qEnvironmentVariableIsEmpty("PATH"))
        return QStandardPaths::findExecutable(name);
#ifdef Q_OS_WIN
    return {};
#else
    return QStandardPaths::findExecutable(name, kDefaultPath);
#endif
}

// The cover's new size: its largest side at most side, never larger than it is.
QString ScaledCover(const PictureFacts& cover, int side)
{
    int width = cover.width;
    int height = cover.height;
    if (std::max(width, height) > side) {
        if (width >= height) {
            height = std::max(1, static_cast<int>(static_cast<qint64>(height) * side / width));
            width = side;
        } else {
            width = std::max(1, static_cast<int>(static_cast<qint64>(width) * side / height));
            height = side;
        }
    }
    return QStringLiteral("scale=%1:%2").arg(width).arg(height);
}

QStringList CoverArguments(const AudioFacts& facts, const AudioRules& rules)
{
    if (!facts.cover || (rules.art && *rules.art == 0))
        return {QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-vn")};
    QStringList arguments = {QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-map"),
                             QStringLiteral("0:v:0?"), QStringLiteral("-c:v")};
    // The MP3 muxer writes PNG unless told; a baseline JPEG is what units read.
    arguments << QStringLiteral("mjpeg") << QStringLiteral("-q:v") << QStringLiteral("3");
    if (rules.art && facts.cover->width > 0)
        arguments << QStringLiteral("-vf") << ScaledCover(*facts.cover, *rules.art);
    arguments << QStringLiteral("-disposition:v:0") << QStringLiteral("attached_pic");
    return arguments;
}

// The tags as read here, over those ffmpeg maps: it reads no APEv2 tag of
// an MP3, and keeps the keys of others as they are (Year is no date).
QStringList TagsAsRead(const AudioTags& tags)
{
    QStringList arguments;
    const auto add = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            arguments << QStringLiteral("-metadata") << QStringLiteral("%1=%2").arg(QLatin1String(key), value);
    };
    const auto number = [](unsigned value) { return value > 0 ? QString::number(value) : QString(); };
    add("title", tags.title);
    add("artist", tags.artist);
    add("album", tags.album);
    add("album_artist", tags.albumArtist);
    add("genre", tags.genre);
    add("date", number(tags.year));
    add("track", number(tags.track));
    add("disc", number(tags.disc));
    return arguments;
}

QStringList TagArguments(const AudioFacts& facts, const AudioRules& rules)
{
    // Ogg's tags belong to its stream, not to the file.
    const bool streamTags = facts.container == QLatin1String("ogg");
    QStringList arguments = {QStringLiteral("-map_metadata"), streamTags ? QStringLiteral("0:s:a:0") : QStringLiteral("0")};
    if (facts.apeTag && facts.id3v2Version == 0)
        arguments << TagsAsRead(facts.tags);
    if (rules.convertTo == QLatin1String("aac"))
        return arguments;
    arguments << QStringLiteral("-id3v2_version") << (rules.tags == TagVersion::Id3v24 ? QStringLiteral("4") : QStringLiteral("3"))
              // ffmpeg would write ID3v1 as UTF-8: it is written apart, in Latin-1.
              << QStringLiteral("-write_id3v1") << QStringLiteral("0");
    return arguments;
}

QStringList AudioArguments(const AudioRules& rules, Treatment treatment)
{
    if (treatment == Treatment::RewriteTags)
        return {QStringLiteral("-c:a"), QStringLiteral("copy")};
    const QString codec = rules.convertTo == QLatin1String("aac") ? QStringLiteral("aac") : QStringLiteral("libmp3lame");
    return {QStringLiteral("-c:a"), codec, QStringLiteral("-b:a"), QStringLiteral("%1k").arg(rules.bitRate),
            QStringLiteral("-ar"), QString::number(ConvertedSampleRate(rules)), QStringLiteral("-ac"), QStringLiteral("2")};
}

// ffmpeg's last line that says something, without its stream prefix.
QString LastErrorLine(const QByteArray& errors)
{
    const QList<QByteArray> lines = errors.trimmed().split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = QString::fromUtf8(line->trimmed());
        if (!text.isEmpty())
            return text;
    }
    return {};
}

} // namespace

QString FindFfmpeg(const QString& chosen)
{
    if (!chosen.isEmpty())
        return IsProgram(chosen) ? QFileInfo(chosen).absoluteFilePath() : QString();
    return FindBesideOrOnPath(kProgramName);
}

QString FindFfprobe(const QString& ffmpeg)
{
    // The ffprobe of the same build, where ffmpeg has one beside it.
    if (!ffmpeg.isEmpty()) {
        const QString beside = QFileInfo(ffmpeg).dir().filePath(kProbeName);
        if (IsProgram(beside))
            return beside;
    }
    return FindBesideOrOnPath(kProbeName);
}

QString FfmpegMissingText()
{
#ifdef Q_OS_WIN
    return QStringLiteral("ffmpeg.exe is missing: it is installed beside Quorvex.exe, or give it with --ffmpeg");
#else
    return QStringLiteral("ffmpeg is missing: install it with \"apt install ffmpeg\", or give it with --ffmpeg");
#endif
}

QString FfmpegVersionLine(const QString& program)
{
    QProcess process;
    process.start(program, {QStringLiteral("-version")}, QIODevice::ReadOnly);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput().split('\n').value(0)).trimmed();
}

QStringList ConversionArguments(const QString& source, const QString& target, const AudioFacts& facts,
                                const AudioRules& rules, Treatment treatment)
{
    // -y: the temporary's name is fresh, but a run that died may have left one.
    QStringList arguments = {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-hide_banner"),
                             QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"), source};
    arguments << CoverArguments(facts, rules) << AudioArguments(rules, treatment) << TagArguments(facts, rules);
    arguments << QStringLiteral("-f") << (rules.convertTo == QLatin1String("aac") ? QStringLiteral("ipod") : QStringLiteral("mp3"))
              << target;
    return arguments;
}

std::chrono::milliseconds ConversionTimeLimit(const AudioFacts& facts)
{
    bool isNumber = false;
    const qint64 chosen = qEnvironmentVariable("QUORVEX_CONVERSION_TIME_LIMIT_MS").toLongLong(&isNumber);
    if (isNumber && chosen > 0)
        return std::chrono::milliseconds(chosen);
    return std::chrono::milliseconds(facts.lengthMs * 10 + 60000);
}

ToolRun RunTool(const QString& name, const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ToolRun run;
    const bool started = run.started = process.waitForStarted(30000);
    const qint64 child = started ? process.processId() : 0;
    if (started)
        platform::NoteChildProcess(child);
    // Read as it comes: a child whose pipe is full would wait for us forever.
    const QDeadlineTimer deadline(limit);
    bool finished = false;
    while (started && !finished && !deadline.hasExpired()) {
        finished = process.waitForFinished(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 1000)));
        run.output += process.readAllStandardOutput();
        run.errors += process.readAllStandardError();
    }
    if (!started) {
        run.failure = QStringLiteral("%1 could not be started: %2").arg(name, process.errorString());
    } else if (!finished) {
        process.kill();
        process.waitForFinished();
        run.failure = QStringLiteral("%1 was ended after %2 s without finishing").arg(name).arg(limit.count() / 1000);
    } else if (process.exitStatus() != QProcess::NormalExit) {
        run.failure = QStringLiteral("%1 crashed").arg(name);
    } else if (process.exitCode() != 0) {
        run.failure = LastErrorLine(run.errors);
        if (run.failure.isEmpty())
            run.failure = QStringLiteral("%1 failed with exit code %2").arg(name).arg(process.exitCode());
    }
    if (started)
        platform::ForgetChildProcess(child);
    return run;
}

QString RunFfmpeg(const QString& program, const QStringList& arguments, const QString& target,
                  std::chrono::milliseconds limit)
{
    const QString failure = RunTool(QStringLiteral("ffmpeg"), program, arguments, limit).failure;
    if (!failure.isEmpty())
        QFile::remove(target);
    return failure;
}
