#pragma once

#include "copyrun/DestinationLocks.h"
#include "platform/RunLock.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class RefillReport;

// The locks a refill holds while it plans and writes: those of its
// destination folders, so that two runs never fill one folder at once, and
// that of its cycle, so that two never draw one file twice in a cycle. They
// go when this goes, or at Release.
class RefillLocks {
public:
    // Takes each folder's lock: the folders no other run holds. One that
    // another run holds is told and left to it, or with wait, waited for.
    QStringList TakeDestinations(const QStringList& folders, bool wait, RefillReport& report);
    // Takes the lock of a cycle's state file, on a file of its own beside it
    // (the state file is replaced at every save); another run's is waited
    // for, and told. Where no lock file can be made, none is held: the state
    // cannot be saved either, which saving tells.
    void TakeCycle(const QString& stateFile, RefillReport& report);
    bool HoldsCycle() const { return cycle_.has_value(); }

    // The destination folders left to other runs, in each writing given.
    const QSet<QString>& FoldersLeftOut() const { return destinations_.FoldersLeftOut(); }

    void Release();

private:
    DestinationLocks destinations_;
    std::optional<platform::RunLock> cycle_;
};
