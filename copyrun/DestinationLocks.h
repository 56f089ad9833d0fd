#pragma once

#include "core/CopyListRow.h"
#include "platform/RunLock.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <system_error>
#include <vector>

// The folders of a list, each once: a folder named in several writings (a
// link to it, "..", doubled separators) keeps its first. Rows that name no
// folder that exists are told apart by their text.
QStringList DistinctFolders(const QStringList& folders);

// The destination folders of copy rows, each writing once, in order.
QStringList DestinationFoldersOf(const QList<CopyRow>& rows);

// A destination folder that another run holds.
struct FolderInUse {
    QString folder;
    std::optional<std::uint64_t> holder; // its process, where the system tells
};

// A destination folder whose file system keeps no locks: written unlocked.
struct FolderUnlocked {
    QString folder;
    std::error_code error; // why no lock could be taken
};

// The locks a copy run holds on its destination folders while it plans and
// writes there, in the window and on the command line alike, so that two
// runs never fill one folder at once. Let go when this goes.
class DestinationLocks {
public:
    // Takes the lock of each folder (each ending in its separator; any
    // writings). They are taken in the order of the folders' ids, so that two
    // runs that each wait for the other's folders can never wait for ever.
    // With waiting, a folder another run holds is waited for, with waiting
    // told first; otherwise it is left to that run (InUse).
    void Take(const QStringList& folders, const std::function<void(const FolderInUse&)>& waiting = {});

    const std::vector<FolderInUse>& InUse() const { return inUse_; }
    const std::vector<FolderUnlocked>& Unlocked() const { return unlocked_; }
    // The folders left to other runs, in each writing given.
    const QSet<QString>& FoldersLeftOut() const { return leftOut_; }

private:
    std::vector<platform::RunLock> held_;
    std::vector<FolderInUse> inUse_;
    std::vector<FolderUnlocked> unlocked_;
    QSet<QString> leftOut_;
};
