#pragma once

#include "core/CopyListRow.h"
#include "randomlist/DestinationVolumes.h"
#include "refill/Refresh.h"

#include <QStringList>

// What a refill carries out, beside the rows of its copy list: the draw it
// made (or the saved plan it took, or the window's plain copy list), the
// destinations it was made for, what was read of their refresh records,
// and the files the draw passed over.
struct RefillPlan {
    CopyPlan drawn;            // the whole draw, which the cycle records
    QStringList plannedFor;    // the destinations the plan was made for
    QStringList destinations;  // of those, the ones free to write into
    Refresh records {false};   // the copies the last refill left, which a refresh removes
    PassedOverFiles passedOver; // too large for a destination
    bool plainCopyList = false; // the window's copy list, as it stands: no refill setting
};
