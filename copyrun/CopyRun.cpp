#include "copyrun/CopyRun.h"

#include "copyrun/CopyAhead.h"
#include "copyrun/CopyOneFile.h"

#include "core/ErrorReport.h"
#include "core/PathHelpers.h"
#include "core/RowListModel.h"

#include <QHash>

#include <functional>

#include <vector>

namespace {

// The failed rows the message names; the rest are counted.
constexpr int kFailureDetailsShown = 5;

void NoteFailure(CopyRunSummary& summary, CopyRunObserver& observer, const CopyRow& row, const QString& rowText,
                 const CopyOutcome& outcome)
{
    CountFailure(summary, rowText, outcome);
    observer.RowFailed(row, rowText, outcome);
}

// Which rows of the run's plan are still in the list, from a given row on.
// Rows are told apart by what they copy and the text they show: of several
// equal rows, as many stay as the list still holds.
class RemainingRows {
public:
    // onGone is told of each row taken away, once.
    RemainingRows(const ListRows& plan, const RowListModel& rows, std::function<void(int position)> onGone)
        : plan_(plan), rows_(rows), revision_(rows.Revision()), remaining_(plan.Count(), true),
          onGone_(std::move(onGone))
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
        QHash<Key, int> inList;
        const ListRows& now = rows_.AllRows();
        for (qsizetype row = 0; row < now.Count(); ++row)
            ++inList[KeyOf(now, row)];
        for (int position = from; position < plan_.Count(); ++position) {
            int& left = inList[KeyOf(plan_, position)];
            if (remaining_[position] && left == 0)
                onGone_(position);
            remaining_[position] = left > 0;
            if (left > 0)
                --left;
        }
    }

    // A copy row's text is made from what it copies; a row given as text
    // alone is told apart by its text.
    using Key = std::pair<QString, CopyRow>;
    static Key KeyOf(const ListRows& rows, qsizetype row)
    {
        const CopyRow& copy = rows.CopyRowAt(row);
        return {copy.IsBlank() ? rows.Text(row) : QString(), copy};
    }

    const ListRows& plan_;
    const RowListModel& rows_;
    quint64 revision_;
    std::vector<bool> remaining_;
    std::function<void(int position)> onGone_;
};

} // namespace

CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ProblemSink& problems,
                           const QString& procedureLabel, const QSet<QString>& foldersLeftOut)
{
    return RunCopyList(rows, observer, problems, procedureLabel, CopyAhead::DefaultLimits(), foldersLeftOut);
}

CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ProblemSink& problems,
                           const QString& procedureLabel, const CopyAhead::Limits& limits,
                           const QSet<QString>& foldersLeftOut)
{
    ErrorReport report(problems, procedureLabel);
    CopyRunSummary summary;
    // A shared copy: it costs nothing unless the list changes meanwhile.
    const ListRows plan = rows.AllRows();
    const QChar separator = NativeSeparator();
    const auto leftOut = [&](const CopyRow& row) {
        if (foldersLeftOut.isEmpty())
            return false;
        if (foldersLeftOut.contains(row.folder))
            return true;
        // A name that leads through folders: any of them may be left out.
        for (qsizetype at = row.name.lastIndexOf(separator); at > 0; at = row.name.lastIndexOf(separator, at - 1)) {
            if (foldersLeftOut.contains(row.folder + row.name.left(at + 1)))
                return true;
        }
        return false;
    };
    std::vector<CopyAhead::Row> aheadRows;
    aheadRows.reserve(plan.Count());
    for (const CopyRow& row : plan.CopyRows())
        aheadRows.push_back({row.source, row.IsBlank() || leftOut(row) ? QString() : row.Destination(), row.converted});
    CopyAhead ahead(aheadRows, limits);
    RemainingRows remaining(plan, rows, [&ahead](int position) { ahead.Drop(position); });
    for (int i = 0; i < plan.Count(); ++i) {
        if (!remaining.StillThere(i) || leftOut(plan.CopyRowAt(i)))
            continue;
        const QString rowText = plan.Text(i);
        const CopyRow& row = plan.CopyRowAt(i);
        report.Step(106, [&] { observer.RowStarting(i + 1, rows.Count(), rowText); });
        // The row may have gone while window events ran.
        if (!remaining.StillThere(i))
            continue;
        // A row added as text alone is no copy; it is not "the same file" either.
        if (row.IsBlank()) {
            ahead.Drop(i);
            NoteFailure(summary, observer, row, rowText,
                        {CopyOutcome::Result::Failed, QStringLiteral("The row does not say what is copied where."), {},
                         CopyOutcome::Failure::Blank, {}});
            continue;
        }
        const QString destination = row.Destination();
        if (report.Test(110, [&] { return row.source == destination; })) {
            ahead.Drop(i);
            ++summary.sameFiles;
            continue;
        }
        bool copied = false;
        report.Step(112, [&] {
            const CopyOutcome outcome =
                ahead.CopyAtTurn(i, [&observer](std::uint64_t copied) { observer.CopyProgressing(copied); });
            copied = true;
            switch (outcome.result) {
            case CopyOutcome::Result::Copied:
                ++summary.copied;
                summary.written.append(outcome.written);
                observer.RowCopied(outcome.written);
                break;
            case CopyOutcome::Result::SameFile: ++summary.sameFiles; break;
            case CopyOutcome::Result::LeftOut: break;
            case CopyOutcome::Result::Failed: NoteFailure(summary, observer, row, rowText, outcome); break;
            }
        });
        if (!copied)
            ahead.Drop(i);
    }
    return summary;
}

const QString kNoFilesAddedMessage = QStringLiteral("No files added.");

const QString kSameFilesMessage =
    QStringLiteral("Source files and destination files were the same. Please check folders.");

void CountFailure(CopyRunSummary& summary, const QString& rowText, const CopyOutcome& outcome)
{
    ++summary.failed;
    if (summary.failureDetails.size() < kFailureDetailsShown)
        summary.failureDetails.append(rowText + u'\r' + outcome.reason);
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
