#pragma once

#include "copyrun/CopyOneFile.h"
#include "core/CopyListRow.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Once flushed, every copy of a run can be read back from its device and
// compared with its source: a worn card, a bad cable or a card that claims
// more than it holds returns something else than was written.

struct ReadBackSummary {
    int verified = 0; // copies found the same as their sources
    // The rows whose copy differs or could not be read back (removed), or
    // whose source could not be read again (kept), with why each fails.
    std::vector<std::pair<CopyRow, CopyOutcome>> failed;
    QStringList removed;      // the copies removed
    QStringList differing;    // the destinations where a copy differed
    QStringList throughCache; // the destinations read back through the cache
};

// Reads back the copies written (as the copy run names them) of the rows,
// each device's on a few threads at once, or one at a time where the device
// takes one at a time (a rotational disk, FUSE).
ReadBackSummary ReadBackCopies(const QList<CopyRow>& rows, const QStringList& written);
