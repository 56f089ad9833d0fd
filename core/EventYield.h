#pragma once

#include <QElapsedTimer>

#include <functional>

// Lets pending window events run once, so that the window repaints and takes
// input during long work on its single thread.
void LetWindowEventsRun();

// Runs work on a thread of its own and lets window events run until it
// ends, so that the window stays live while the work waits on a slow
// device. What work throws is thrown here.
void RunLettingWindowEventsRun(const std::function<void()>& work);

// True while a command is letting window events run, that is, while an
// event being handled now interrupted a command that has not ended.
bool IsInsideCommandYield();

// Long work calls Poll() at every step; window events run when a frame's
// time has passed since they last ran. That keeps the window live while
// costing the work next to nothing.
class ThrottledYield {
public:
    ThrottledYield();
    // True when window events ran, so the caller can check what they changed.
    bool Poll();

    // Tests set 0 to yield at every step.
    static void SetInterval(qint64 milliseconds);
    static qint64 Interval();

private:
    QElapsedTimer sinceYield_;
};
