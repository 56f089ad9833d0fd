#pragma once

#include "copyrun/CopyOneFile.h"
#include "core/EventYield.h"
#include "refill/RefillRun.h"

#include <QString>


class TextProgressBar;

// Shows each row of a copy run on the progress bar, then the flushes and a
// refill's read back, and lets the window repaint. For a plain copy list
// the last row's text comes back once the copies are flushed.
class ProgressBarObserver final : public RefillProgress {
public:
    ProgressBarObserver(TextProgressBar& bar, bool plainCopyList) : bar_(bar), plainCopyList_(plainCopyList) {}

    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override;
    void CopyProgressing(std::uint64_t) override { yield_.Poll(); }
    void RowsEnd() override;
    void Flushing(const FlushGroup& group) override;
    void ReadingBack() override;
    void CopiesInPlace() override;

private:
    TextProgressBar& bar_;
    bool plainCopyList_;
    ThrottledYield yield_;
    QString lastRowText_;
};
