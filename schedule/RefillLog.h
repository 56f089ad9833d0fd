#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <system_error>

// The log of scheduled refills in the state folder: one line for each run,
// "2026-12-08T03:00:12 Refill exit=0 copied=300 removed=300 verified=0
// skipped=0 failed=0", and beneath it a line for each thing that failed,
// starting with two blanks. It keeps the last 100 runs of all schedules.

struct RunResult {
    QDateTime when;
    QString name;
    int exitStatus = 0;
    int copied = 0;
    int removed = 0;
    int verified = 0;
    int skipped = 0;
    int failed = 0;
};

QString RefillLogPath();

QString RunLine(const RunResult& result);

// Appends the run and its failures whole, under a lock, so that two runs
// never mix their lines, and lets the oldest runs go. The error is the
// system's, where the log could not be written.
std::error_code AppendToLog(const RunResult& result, const QStringList& failures);

// The log's text with the run appended and the oldest runs let go.
QByteArray LogWith(const QByteArray& log, const QString& runLines, int runsKept = 100);

// The schedule's last run in the log: its line, what the line says, and
// the failure lines beneath it; nothing when it has not run.
struct LastRun {
    QString line;
    QStringList failures;
    RunResult result;
};
std::optional<LastRun> LastRunOf(const QByteArray& log, const QString& name);
std::optional<LastRun> LastRunOf(const QString& name);
