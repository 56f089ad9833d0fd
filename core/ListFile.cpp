#include "core/ListFile.h"

#include "core/Codepage1252.h"
#include "core/Failure.h"
#include "core/PathHelpers.h"
#include "core/ProblemSink.h"
#include "core/RowListModel.h"
#include "platform/NameCodec.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>

namespace {

constexpr qint64 kChunkSize = 64 * 1024;

// A message names at most this many refused lines; the rest are counted.
constexpr std::size_t kLinesNamed = 5;

// The text of one line. Bytes that are not UTF-8 are most often a name
// written in another code page, yet on POSIX they may be a folder's own name:
// when a path with exactly these bytes exists, the line names it.
QString LineText(const QByteArray& line)
{
#ifndef Q_OS_WIN
    const QString exact = FromFsName(platform::NativeStringView(line.constData(), static_cast<std::size_t>(line.size())));
    if (std::any_of(exact.begin(), exact.end(), [](QChar c) { return platform::IsEscapedByte(c.unicode()); })
        && PathExists(exact))
        return exact;
#endif
    return DecodeListText(line);
}

struct FileLines {
    QStringList rows;
    std::vector<qsizetype> nulLines;
};

// The rows of the lines of content. A line ends at CR, CR LF or LF, so a
// final LF gives an empty last row while a final CR or CR LF gives none.
// Unless the content is complete, the text after the last line end is left
// out: it may be only part of a line.
FileLines RowsOf(const QByteArray& content, bool complete)
{
    FileLines result;
    qsizetype lineNumber = 0;
    const auto addLine = [&](qsizetype from, qsizetype to) {
        ++lineNumber;
        const QByteArray line = content.sliced(from, to - from);
        if (line.contains('\0'))
            result.nulLines.push_back(lineNumber);
        else
            result.rows.append(LineText(line));
    };
    qsizetype start = 0;
    bool lastEndWasLf = false;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char byte = content[i];
        if (byte != '\r' && byte != '\n')
            continue;
        addLine(start, i);
        lastEndWasLf = byte == '\n';
        if (byte == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (complete && (start < content.size() || lastEndWasLf))
        addLine(start, content.size());
    return result;
}

QString NulLinesMessage(const QString& path, const std::vector<qsizetype>& lines)
{
    if (lines.size() == 1)
        return QStringLiteral("Line %1 of %2 was not added because it holds a NUL byte.")
            .arg(QString::number(lines.front()), path);
    const std::size_t named = std::min(lines.size(), kLinesNamed);
    QStringList numbers;
    for (std::size_t i = 0; i < named; ++i)
        numbers.append(QString::number(lines[i]));
    const QString last = named < lines.size() ? QStringLiteral("%1 more").arg(lines.size() - named) : numbers.takeLast();
    return QStringLiteral("Lines %1 and %2 of %3 were not added because they hold a NUL byte.")
        .arg(numbers.join(QStringLiteral(", ")), last, path);
}

QString TooLargeMessage(const QString& path)
{
    return QStringLiteral("%1 was not loaded because it is larger than %2 MiB.")
        .arg(path, QString::number(kListFileByteLimit / (1024 * 1024)));
}

} // namespace

ListRefusals AppendListRows(QIODevice& device, RowListModel& list)
{
    // The whole content is read before any row is made, so that a list past
    // the limit costs no more memory than the limit.
    QByteArray content;
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    for (;;) {
        // Counted as read: a device or a pipe may not know its size.
        const qint64 got = device.read(chunk.data(), std::min(kChunkSize, kListFileByteLimit + 1 - content.size()));
        if (got < 0) {
            list.Append(RowsOf(content, false).rows);
            throw Failure(device.errorString());
        }
        if (got == 0)
            break;
        if (content.size() + got > kListFileByteLimit)
            return ListRefusals {{}, true};
        content.append(chunk.constData(), got);
    }
    FileLines read = RowsOf(content, true);
    list.Append(read.rows);
    return ListRefusals {std::move(read.nulLines), false};
}

void LoadListFromFile(RowListModel& list, const QString& path, ProblemSink& problems)
{
    if (!PathExists(path)) {
        problems.ReportListFileProblem({ListFileProblem::Kind::Missing, path, {}});
        return;
    }
    QFile file;
    OpenForReading(file, path);
    LoadListFromDevice(list, file, path, problems);
}

void LoadListFromDevice(RowListModel& list, QIODevice& device, const QString& name, ProblemSink& problems)
{
    ListRefusals refusals = AppendListRows(device, list);
    if (refusals.tooLarge)
        problems.ReportListFileProblem({ListFileProblem::Kind::TooLarge, name, {}});
    else if (!refusals.nulLines.empty())
        problems.ReportListFileProblem({ListFileProblem::Kind::NulLines, name, std::move(refusals.nulLines)});
}

QString ListFileProblemText(const ListFileProblem& problem)
{
    switch (problem.kind) {
    case ListFileProblem::Kind::Missing: return QStringLiteral("File not found");
    case ListFileProblem::Kind::TooLarge: return TooLargeMessage(problem.name);
    case ListFileProblem::Kind::NulLines: return NulLinesMessage(problem.name, problem.lines);
    }
    return {};
}

bool IsWarning(const ListFileProblem& problem) { return problem.kind != ListFileProblem::Kind::Missing; }
