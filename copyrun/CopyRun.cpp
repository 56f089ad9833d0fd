#include "CopyRun.h"

#include "CopyOneFile.h"

#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "app/RowListModel.h"

CopyRow SplitCopyRow(const QString& row)
{
    const qsizetype join = row.indexOf(kCopyRowJoin);
    if (join < 0)
        throw Failure(QStringLiteral("The row does not say what is copied where: ") + row);
    const qsizetype start = join + kCopyRowJoin.size();
    const qsizetype next = row.indexOf(kCopyRowJoin, start);
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

CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ErrorReport& report)
{
    CopyRunSummary summary;
    const int rowCount = rows.Count();
    for (int i = 0; i < rowCount && i < rows.Count(); ++i) {
        QString rowText;
        CopyRow row;
        report.Step(106, [&] { rowText = rows.Text(i); });
        report.Step(108, [&] { observer.RowStarting(i + 1, rows.Count(), rowText); });
        bool split = false;
        report.Step(110, [&] {
            row = SplitCopyRow(rowText);
            split = true;
        });
        // A row that could not be split was reported; it is not "the same file".
        if (!split) {
            NoteFailure(summary, rowText, QStringLiteral("The row does not say what is copied where."));
            continue;
        }
        if (report.Test(112, [&] { return row.source == row.destination; })) {
            summary.sameFiles = true;
            continue;
        }
        report.Step(114, [&] {
            const CopyOutcome outcome =
                CopyOneFile(row.source, row.destination, [&observer] { observer.CopyProgressing(); });
            switch (outcome.result) {
            case CopyOutcome::Result::Copied: ++summary.copied; break;
            case CopyOutcome::Result::SameFile: summary.sameFiles = true; break;
            case CopyOutcome::Result::Failed: NoteFailure(summary, rowText, outcome.reason); break;
            }
        });
    }
    return summary;
}

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
