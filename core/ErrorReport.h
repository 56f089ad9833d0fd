#pragma once

#include "core/Failure.h"
#include "core/ProblemSink.h"

#include <QString>

#include <utility>

// Runs the numbered steps of one reporting procedure. A step that fails is
// reported (the window shows a warning box that names the procedure and the
// step), and the procedure goes on with its next step: nothing is rolled back.
//
// Steps are numbered by the procedure in the order they stand in its text,
// from 100 upwards by 2, so a report points at the same place in the code
// whatever path the procedure took.
class ErrorReport {
public:
    ErrorReport(ProblemSink& problems, QString procedureLabel);

    // Runs one step. A failure inside it is reported; the step ends there.
    template <class Body>
    void Step(int number, Body&& body)
    {
        lastStep_ = number;
        try {
            std::forward<Body>(body)();
        } catch (...) {
            Report(DescribeCurrentException());
        }
    }

    // Runs the test of a conditional block and tells whether the block runs.
    // A test that fails is reported and its block runs all the same, as the
    // step after a failed test is the first step inside the block.
    template <class Condition>
    bool Test(int number, Condition&& condition)
    {
        lastStep_ = number;
        try {
            return std::forward<Condition>(condition)();
        } catch (...) {
            Report(DescribeCurrentException());
            return true;
        }
    }

    int LastStep() const { return lastStep_; }

    // The report's text, as the warning box shows it.
    static QString MessageText(const QString& description, const QString& procedureLabel, int step);

    static constexpr int kFirstStep = 100;

private:
    void Report(const QString& description);

    ProblemSink& problems_;
    QString label_;
    int lastStep_ = kFirstStep;
};
