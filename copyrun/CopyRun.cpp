#include "copyrun/CopyRun.h"

#include "copyrun/CopyOneFile.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/RowListModel.h"

#include <QHash>

#include <vector>

CopyRow SplitCopyRow(const QString& row)
{
    const qsizetype join = row.indexOf(kWillBeCopiedTo);
    if (join < 0)
        throw Failure(QStringLiteral("The row does not say what is copied where: ") + row);
    const qsizetype start = join + kWillBeCopiedTo.size();
    const qsizetype next = row.indexOf(kWillBeCopiedTo, start);
    return {row.left(join), next < 0 ? row.mid(start) : row.mid(start, next - start)};
}

namespace {

void NoteFailure(CopyRunSummary& summary, const QString& rowText, const QString& reason)
{
    ++summary.failed;
    if (summary.failureDetails.size() < kFailureDetailsShown)
        summary.failureDetails.append(rowText + u'\r' + reason);
}

} // namespace

namespace {

// Which rows of the run's plan are still in the list, from a given row on.
// Rows are told apart by their text: of several equal rows, as many stay as
// the list still holds.
class RemainingRows {
public:
    RemainingRows(const QStringList& plan, const RowListModel& rows)
        : plan_(plan), rows_(rows), revision_(rows.Revision()), remaining_(plan.size(), true)
    {
    }

    bool StillThere(int position)
    {
        if (rows_.Revision() != revision_)
            Recount(position);
        return remaining_[position];
    }

private:
    void Recount(int from)
    {
        revision_ = rows_.Revision();
        QHash<QString, int> inList;
        for (const QString& row : rows_.Rows())
            ++inList[row];
        for (int position = from; position < plan_.size(); ++position) {
            int& left = inList[plan_[position]];
            remaining_[position] = left > 0;
            if (left > 0)
                --left;
        }
    }

    const QStringList& plan_;
    const RowListModel& rows_;
    quint64 revision_;
    std::vector<bool> remaining_;
};

} // namespace

CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ErrorReport& report)
{
    CopyRunSummary summary;
    // A shared copy: it costs nothing unless the list changes meanwhile.
    const QStringList plan = rows.Rows();
    RemainingRows remaining(plan, rows);
    for (int i = 0; i < plan.size(); ++i) {
        if (!remaining.StillThere(i))
            continue;
        const QString& rowText = plan[i];
        CopyRow row;
        report.Step(106, [&] { observer.RowStarting(i + 1, rows.Count(), rowText); });
        // The row may have gone while window events ran.
        if (!remaining.StillThere(i))
            continue;
        bool split = false;
        report.Step(108, [&] {
            row = SplitCopyRow(rowText);
            split = true;
        });
        // A row that could not be split was reported; it is not "the same file".
        if (!split) {
            NoteFailure(summary, rowText, QStringLiteral("The row does not say what is copied where."));
            continue;
        }
        if (report.Test(110, [&] { return row.source == row.destination; })) {
            summary.sameFiles = true;
            continue;
        }
        report.Step(112, [&] {
            const CopyOutcome outcome =
                CopyOneFile(row.source, row.destination,
                            [&observer](std::uint64_t copied) { observer.CopyProgressing(copied); });
            switch (outcome.result) {
            case CopyOutcome::Result::Copied:
                ++summary.copied;
                summary.written.append(outcome.written);
                break;
            case CopyOutcome::Result::SameFile: summary.sameFiles = true; break;
            case CopyOutcome::Result::Failed: NoteFailure(summary, rowText, outcome.reason); break;
            }
        });
    }
    return summary;
}

const QString kNoFilesAddedMessage = QStringLiteral("No files added.");

const QString kSameFilesMessage =
    QStringLiteral("Source files and destination files were the same. Please check folders.");

QString FailedRowsMessage(const CopyRunSummary& summary)
{
    QString message = summary.failed == 1 ? QStringLiteral("1 file could not be copied:")
                                          : QStringLiteral("%1 files could not be copied:").arg(summary.failed);
    for (const QString& detail : summary.failureDetails)
        message += QStringLiteral("\r\r") + detail;
    const int notShown = summary.failed - static_cast<int>(summary.failureDetails.size());
    if (notShown > 0)
        message += QStringLiteral("\r\r... and %1 more.").arg(notShown);
    return message;
}
