#include "window/ProgressBarObserver.h"

#include "copyrun/DeviceFlush.h"
#include "core/PathHelpers.h"
#include "window/TextProgressBar.h"

#include <algorithm>

void ProgressBarObserver::RowStarting(int rowNumber, int rowCount, const QString& rowText)
{
    const double percent = rowCount > 0 ? 100.0 * rowNumber / rowCount : 100.0;
    bar_.SetText(QStringLiteral("Processing: ") + ReadableText(FileNameOf(rowText)));
    bar_.setValue(std::clamp(qRound(percent), 0, 100));
    yield_.Poll();
}

void ProgressBarObserver::RowsEnd() { lastRowText_ = bar_.text(); }

void ProgressBarObserver::Flushing(const FlushGroup& group) { bar_.SetText(FlushingText(group)); }

void ProgressBarObserver::ReadingBack() { bar_.SetText(QStringLiteral("Reading the copies back from their devices")); }

void ProgressBarObserver::CopiesInPlace()
{
    if (plainCopyList_)
        bar_.SetText(lastRowText_);
}
