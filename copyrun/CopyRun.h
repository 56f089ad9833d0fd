#pragma once

#include "copyrun/CopyAhead.h"
#include "core/CopyListRow.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>

class ProblemSink;
class RowListModel;


// Told about each row before it is copied.
class CopyRunObserver {
public:
    virtual ~CopyRunObserver() = default;
    // rowNumber counts from 1; rowCount is the number of rows now.
    virtual void RowStarting(int rowNumber, int rowCount, const QString& rowText) = 0;
    // Between the pieces of a large file: how much of it is copied.
    virtual void CopyProgressing(std::uint64_t copiedBytes) = 0;
    // A row's copy is in place, at the path written.
    virtual void RowCopied(const QString& written) { static_cast<void>(written); }
    // A row could not be copied; the outcome tells why.
    virtual void RowFailed(const CopyRow& row, const QString& rowText, const CopyOutcome& outcome)
    {
        static_cast<void>(row);
        static_cast<void>(rowText);
        static_cast<void>(outcome);
    }
};

struct CopyRunSummary {
    int sameFiles = 0; // rows whose source and destination were one file
    int copied = 0;
    int failed = 0;
    QStringList failureDetails; // the first few failed rows, each with its reason
    QStringList written;        // the files the copies went to
};

// Copies every row of the copy list, first to last, as the list stood when
// the run began. When the list changes during a yield (cleared, filtered,
// a row deleted, rebuilt), the run goes on with those of its rows that are
// still in the list: a row taken away is not copied, a row still there is
// never skipped. The rows themselves are not changed. Failures of the run's
// own steps are reported to problems under procedureLabel.
// The rows are copied ahead of their turn on a few workers and each takes
// its name at its turn (see CopyAhead); what the observer sees is the same.
// The rows bound for foldersLeftOut (folders another run holds, or that
// could not be made), or for a folder below one, are passed over unseen.
CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ProblemSink& problems,
                           const QString& procedureLabel, const QSet<QString>& foldersLeftOut = {});
// With other bounds on the copies ahead (one worker, for a comparison).
CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ProblemSink& problems,
                           const QString& procedureLabel, const CopyAhead::Limits& limits,
                           const QSet<QString>& foldersLeftOut = {});

// The message for a copy list without rows.
extern const QString kNoFilesAddedMessage;

// The message after a run in which a row's source and destination were one file.
extern const QString kSameFilesMessage;

// Counts a row that failed, and keeps its text and why for the first few.
void CountFailure(CopyRunSummary& summary, const QString& rowText, const CopyOutcome& outcome);

// The message that lists the rows that could not be copied.
QString FailedRowsMessage(const CopyRunSummary& summary);
