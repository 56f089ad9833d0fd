#pragma once

#include "core/EventYield.h"

// Inside its scope long work lets window events run at every step, so a
// test can step in at any point.
class YieldEveryStep {
public:
    YieldEveryStep() : saved_(ThrottledYield::Interval()) { ThrottledYield::SetInterval(0); }
    ~YieldEveryStep() { ThrottledYield::SetInterval(saved_); }
    YieldEveryStep(const YieldEveryStep&) = delete;
    YieldEveryStep& operator=(const YieldEveryStep&) = delete;

private:
    qint64 saved_;
};
