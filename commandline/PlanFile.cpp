#include "commandline/PlanFile.h"

#include "commandline/ConsoleOutput.h"
#include "copyrun/PlanText.h"
#include "core/Failure.h"
#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QSet>

#include <algorithm>

#include <limits>

namespace {

const QByteArray kDestinationLine = QByteArrayLiteral("# destination ");
const QByteArray kDeviceLine = QByteArrayLiteral("# device ");

// A row below a named destination is split there: its name leads through
// the folders to make. Only through plain names: never "..".
void SplitAtDestination(CopyRow& row, const QStringList& destinations)
{
    const QString path = row.Destination();
    for (const QString& destination : destinations) {
        if (!path.startsWith(destination))
            continue;
        const QString below = path.mid(destination.size());
        const QStringList names = below.split(NativeSeparator());
        if (std::none_of(names.begin(), names.end(), [](const QString& name) {
                return name.isEmpty() || name == u"." || name == u".." || name.contains(u'/');
            }))
            row = {row.source, destination, below, row.converted};
        return;
    }
}

} // namespace

CopyPlan ReadPlan(const QString& path, int& failedLines, QString* device)
{
    QByteArray text;
    if (path.isEmpty()) {
        QString error;
        text = ReadStandardInput(std::numeric_limits<qint64>::max(), error);
        if (!error.isEmpty())
            throw Failure(QStringLiteral("standard input: ") + error);
    } else {
        QFile file;
        OpenForReading(file, path);
        text = file.readAll();
    }
    const QString name = path.isEmpty() ? QStringLiteral("standard input") : path;
    CopyPlan rows;
    QStringList destinations;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QByteArray line = lines[number];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(kDestinationLine)) {
            if (const std::optional<QString> folder = PathOfPlanPath(line.mid(kDestinationLine.size())))
                destinations.append(WithClosingSeparator(*folder));
            continue;
        }
        if (line.startsWith(kDeviceLine) && device) {
            *device = PathOfPlanPath(line.mid(kDeviceLine.size())).value_or(QString());
            continue;
        }
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        std::optional<CopyRow> row = RowOfPlanLine(line);
        if (!row) {
            PrintMessage(QStringLiteral("%1:%2: the row does not say what is copied where: %3")
                             .arg(name)
                             .arg(number + 1)
                             .arg(ReadableText(QString::fromUtf8(line))));
            ++failedLines;
            continue;
        }
        SplitAtDestination(*row, destinations);
        rows.Append(*row);
    }
    return rows;
}

QByteArray PlanText(const QList<CopyRow>& rows)
{
    QByteArray text;
    QSet<QString> named;
    for (const CopyRow& row : rows) {
        if (row.name.contains(NativeSeparator()) && !named.contains(row.folder)) {
            named.insert(row.folder);
            text += kDestinationLine + PlanPath(row.folder) + '\n';
        }
    }
    for (const CopyRow& row : rows)
        text += PlanLine(row) + '\n';
    return text;
}

bool SavePlan(const QString& path, const QList<CopyRow>& rows, std::optional<std::uint32_t> seed, const QString& device)
{
    QByteArray text = seed ? QByteArray("# seed ") + QByteArray::number(*seed) + '\n' : QByteArray();
    if (!device.isEmpty())
        text += kDeviceLine + PlanPath(device) + '\n';
    text += PlanText(rows);
    const std::error_code error = platform::WriteFileWhole(ToFsPath(path), ToFsPath(path + QStringLiteral(".new")),
                                                           {text.constData(), std::size_t(text.size())});
    if (error) {
        PrintMessage(QStringLiteral("--save-plan: %1: the plan could not be written: %2")
                         .arg(path, QString::fromStdString(error.message())));
        return false;
    }
    return true;
}
