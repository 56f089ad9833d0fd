#include "schedule/RefillLog.h"

#include "core/PathHelpers.h"
#include "core/StateFolder.h"
#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "schedule/Schedule.h"

#include <QDir>
#include <QFile>

#include <optional>
#include <utility>

namespace {

bool IsRunLine(const QByteArray& line) { return !line.isEmpty() && !line.startsWith("  "); }

// What a run's line says: its time, its name, then name=number words.
RunResult ResultOf(const QList<QByteArray>& words)
{
    RunResult result;
    result.when = QDateTime::fromString(QString::fromUtf8(words.value(0)), Qt::ISODate);
    result.name = QString::fromUtf8(words.value(1));
    const std::pair<const char*, int RunResult::*> counts[] = {
        {"exit", &RunResult::exitStatus}, {"copied", &RunResult::copied},   {"removed", &RunResult::removed},
        {"verified", &RunResult::verified}, {"skipped", &RunResult::skipped}, {"failed", &RunResult::failed},
    };
    for (const QByteArray& word : words.mid(2)) {
        const QByteArray key = word.left(word.indexOf('='));
        for (const auto& [name, count] : counts) {
            if (key == name)
                result.*count = word.mid(key.size() + 1).toInt();
        }
    }
    return result;
}

} // namespace

QString RefillLogPath() { return QDir(StateFolder()).filePath(QStringLiteral("refill.log")); }

QString RunLine(const RunResult& result)
{
    return QStringLiteral("%1 %2 exit=%3 copied=%4 removed=%5 verified=%6 skipped=%7 failed=%8")
        .arg(result.when.toString(Qt::ISODate).left(19), result.name)
        .arg(result.exitStatus)
        .arg(result.copied)
        .arg(result.removed)
        .arg(result.verified)
        .arg(result.skipped)
        .arg(result.failed);
}

QByteArray LogWith(const QByteArray& log, const QString& runLines, int runsKept)
{
    QList<QByteArray> lines = log.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    lines += runLines.toUtf8().split('\n');
    if (lines.back().isEmpty())
        lines.removeLast();
    // From the oldest run kept, with the failure lines beneath it.
    int runs = 0;
    qsizetype first = lines.size();
    for (qsizetype i = lines.size() - 1; i >= 0 && runs < runsKept; --i) {
        if (IsRunLine(lines[i])) {
            ++runs;
            first = i;
        }
    }
    return lines.mid(first).join('\n') + '\n';
}

std::error_code AppendToLog(const RunResult& result, const QStringList& failures)
{
    const QString path = RefillLogPath();
    QFile lockFile(path + QStringLiteral(".lock"));
    if (const std::error_code error = MakeStateFolder())
        return error;
    // Where no lock file can be made, the log's own write says why.
    std::optional<platform::RunLock> lock;
    if (lockFile.open(QIODevice::Append)) {
        lockFile.close();
        lock.emplace(ToFsPath(lockFile.fileName()));
        if (lock->Current() == platform::RunLock::State::Busy)
            lock->Wait();
    }
    QString runLines = RunLine(result) + u'\n';
    for (const QString& failure : failures)
        runLines += QStringLiteral("  ") + QString(failure).replace(u'\n', u' ') + u'\n';
    QFile file(path);
    const QByteArray log = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    const QByteArray bytes = LogWith(log, runLines);
    return platform::WriteFileWhole(ToFsPath(path), ToFsPath(path + QStringLiteral(".new")),
                                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::optional<LastRun> LastRunOf(const QByteArray& log, const QString& name)
{
    const QList<QByteArray> lines = log.split('\n');
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QList<QByteArray> words = lines[i].split(' ');
        if (!IsRunLine(lines[i]) || words.size() < 2 || !SameScheduleName(QString::fromUtf8(words[1]), name))
            continue;
        LastRun run {QString::fromUtf8(lines[i]), {}, ResultOf(words)};
        for (qsizetype j = i + 1; j < lines.size() && lines[j].startsWith("  "); ++j)
            run.failures << QString::fromUtf8(lines[j].mid(2));
        return run;
    }
    return std::nullopt;
}

std::optional<LastRun> LastRunOf(const QString& name)
{
    QFile file(RefillLogPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return LastRunOf(file.readAll(), name);
}
