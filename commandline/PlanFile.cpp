#include "commandline/PlanFile.h"

#include "commandline/ConsoleOutput.h"
#include "copyrun/PlanText.h"
#include "core/Failure.h"
#include "core/PathHelpers.h"

#include <QFile>

#include <cstdio>
#include <limits>
#include <fstream>

CopyPlan ReadPlan(const QString& path, int& failedLines)
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
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QByteArray line = lines[number];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        const std::optional<CopyRow> row = RowOfPlanLine(line);
        if (!row) {
            PrintMessage(QStringLiteral("%1:%2: the row does not say what is copied where: %3")
                             .arg(name)
                             .arg(number + 1)
                             .arg(ReadableText(QString::fromUtf8(line))));
            ++failedLines;
            continue;
        }
        rows.Append(*row);
    }
    return rows;
}

QByteArray PlanText(const QList<CopyRow>& rows)
{
    QByteArray text;
    for (const CopyRow& row : rows)
        text += PlanLine(row) + '\n';
    return text;
}

bool SavePlan(const QString& path, const QList<CopyRow>& rows, std::optional<std::uint32_t> seed)
{
    std::ofstream file(ToFsPath(path), std::ios::binary | std::ios::trunc);
    const QByteArray text = (seed ? QByteArray("# seed ") + QByteArray::number(*seed) + '\n' : QByteArray()) + PlanText(rows);
    file.write(text.constData(), text.size());
    file.close();
    if (!file) {
        PrintMessage(QStringLiteral("--save-plan: %1: the plan could not be written").arg(path));
        return false;
    }
    return true;
}
