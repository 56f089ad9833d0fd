#pragma once

#include <QString>
#include <QStringList>

class ErrorReport;
class RowListModel;

// The words that join the two halves of a copy-list row.
inline const QString kCopyRowJoin = QStringLiteral(" will be copied to ");

struct CopyRow {
    QString source;
    QString destination;
};

// Splits a copy-list row at the first " will be copied to "; the destination
// ends at the next one, if any. Throws Failure for a row without it.
CopyRow SplitCopyRow(const QString& row);

// Told about each row before it is copied.
class CopyRunObserver {
public:
    virtual ~CopyRunObserver() = default;
    // rowNumber counts from 1; rowCount is the number of rows now.
    virtual void RowStarting(int rowNumber, int rowCount, const QString& rowText) = 0;
    // Between the pieces of a large file.
    virtual void CopyProgressing() = 0;
};

struct CopyRunSummary {
    bool sameFiles = false; // a row's source and destination were one file
    int copied = 0;
    int failed = 0;
    QStringList failureDetails; // the first few failed rows, each with its reason
};

// Copies every row of the copy list, first to last. The number of rows is
// taken at the start; rows that vanish meanwhile (the list cleared or
// filtered during a yield) end the run at the end of the rows that remain.
// The rows themselves are not changed. Failures of the run's own steps go
// to the report.
CopyRunSummary RunCopyList(const RowListModel& rows, CopyRunObserver& observer, ErrorReport& report);

// The message that lists the rows that could not be copied.
QString FailedRowsMessage(const CopyRunSummary& summary);

inline constexpr int kFailureDetailsShown = 5;
