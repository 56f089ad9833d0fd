#pragma once

#include "copyrun/CopyOneFile.h"
#include "core/EventYield.h"
#include "refill/RefillRun.h"

#include <QString>

#include <utility>
#include <vector>

class TextProgressBar;

// Shows each row of a copy run on the progress bar, then a refill's
// flushes and read back, and lets the window repaint.
class ProgressBarObserver final : public RefillProgress {
public:
    explicit ProgressBarObserver(TextProgressBar& bar) : bar_(bar) {}

    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override;
    void CopyProgressing(std::uint64_t) override { yield_.Poll(); }
    // The read back's failures are kept, to be counted with the copy's.
    void RowFailed(const CopyRow& row, const QString& rowText, const CopyOutcome& outcome) override;
    void Flushing(const FlushGroup& group) override;
    void ReadingBack() override;

    std::vector<std::pair<QString, CopyOutcome>> readBackFailures;

private:
    TextProgressBar& bar_;
    ThrottledYield yield_;
    bool readingBack_ = false;
};
