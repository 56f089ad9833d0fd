#pragma once

#include "core/FolderProblem.h"

#include <QString>

#include <cstdint>
#include <vector>

// What the procedures below the faces meet on their way, as facts. The
// window shows each in a message box (Dialogs); the refill turns each into
// a problem of its own, which every face words its own way.

// A list of folders that could not be read whole.
struct ListFileProblem {
    enum class Kind {
        Missing,  // no file at the path: nothing loaded
        TooLarge, // past kListFileByteLimit: nothing loaded
        NulLines, // the lines that hold a NUL byte were left out
    };
    Kind kind = Kind::Missing;
    QString name; // the list's path, or "standard input"
    std::vector<qsizetype> lines; // NulLines: their numbers, from 1
};

// A draw that cannot be made as asked: nothing is drawn.
struct DrawProblem {
    enum class Kind {
        NumberBelowOne, // the number of files is below 1
        TooManyRows,    // the plan would hold more than maxRows rows
    };
    Kind kind = Kind::NumberBelowOne;
    std::uint64_t maxRows = 0;
};

// A numbered step of a procedure that failed unexpectedly; the procedure
// went on with its next step.
struct StepFailure {
    QString description;
    QString procedureLabel;
    int step = 0;
};

class ProblemSink {
public:
    virtual ~ProblemSink() = default;
    virtual void ReportProblem(const FolderProblem& problem) = 0;
    virtual void ReportListFileProblem(const ListFileProblem& problem) = 0;
    virtual void ReportDrawProblem(const DrawProblem& problem) = 0;
    virtual void ReportStepFailure(const StepFailure& failure) = 0;
};

// The window's words for a number of files below 1.
extern const QString kNumberBelowOneMessage;

// The window's words for a plan that would hold more than maxRows rows.
QString TooManyRowsMessage(std::uint64_t maxRows);
