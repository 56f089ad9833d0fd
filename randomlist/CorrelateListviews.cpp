#include "CorrelateListviews.h"

#include "app/ErrorReport.h"
#include "app/PathHelpers.h"
#include "app/ProcedureLabels.h"

QString DestinationFileName(const QString& fileName, std::uint32_t repeat)
{
    if (repeat == 0)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return fileName + QString::number(repeat);
    return fileName.left(dot) + QString::number(repeat) + fileName.mid(dot);
}

QStringList PairWithDestinations(const Selection& selection, const QStringList& destinationRows)
{
    QStringList folders;
    folders.reserve(destinationRows.size());
    for (const QString& row : destinationRows) {
        // A blank row names no folder; taken as one it would put the files
        // into the root of the file system.
        if (!row.trimmed().isEmpty())
            folders.append(WithClosingSeparator(row));
    }

    QStringList rows;
    rows.reserve(static_cast<qsizetype>(selection.size()) * folders.size());
    for (const SelectionEntry& entry : selection) {
        const QString name = DestinationFileName(FileNameOf(entry.path), entry.repeat);
        for (const QString& folder : folders) {
            QString row;
            row.reserve(entry.path.size() + kWillBeCopiedTo.size() + folder.size() + name.size());
            row.append(entry.path).append(kWillBeCopiedTo).append(folder).append(name);
            rows.append(std::move(row));
        }
    }
    return rows;
}

QStringList CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                               RandomSource& random, Dialogs& dialogs)
{
    ErrorReport report(dialogs, ProcedureLabels::CorrelateListviews());
    QStringList rows;
    Selection selection;
    report.Step(100, [&] {
        SelectionRequest withDestinations = request;
        withDestinations.destinationCount = static_cast<std::uint64_t>(destinationRows.size());
        selection = randomFileList(withDestinations, random, dialogs);
    });
    report.Step(102, [&] { rows = PairWithDestinations(selection, destinationRows); });
    return rows;
}
