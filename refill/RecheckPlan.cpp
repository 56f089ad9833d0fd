// The recheck of a plan drawn without locks, once they are taken: what
// changed on the destinations since the draw.

#include "refill/RefillRun.h"

#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "platform/FileSystem.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/DestinationChecks.h"

#include <QHash>
#include <QSet>

void RefillRun::Recheck(RowListModel& copyList)
{
    plan_.records = Refresh(false);
    // A plain copy list is taken as it stands now: a row bound for a folder
    // that is not there fails as the copy finds it.
    plan_.destinations = plan_.plainCopyList ? LockAndRead(DestinationFoldersOf(copyList.CopyRows()), true)
                                   : LockAndRead(ExistingFolders(plan_.plannedFor, *this), true);
    if (cycle_ && !locks_.HoldsCycle()) {
        locks_.TakeCycle(cycle_->StateFile(), *this);
        cycle_->ReadAgain();
    }
    LeaveOutRefusedRows(copyList);
    if (KeepsNames(settings_))
        RenameTakenRows(copyList);
}

// A row whose name the user's file (or another run's copy) now holds takes
// the lowest free number, as it would have in the draw.
void RefillRun::RenameTakenRows(RowListModel& copyList) const
{
    CopyPlan plan {copyList.CopyRows()};
    QSet<QString> claimed;
    for (const CopyRow& row : std::as_const(plan.rows))
        claimed.insert(row.Destination().toCaseFolded());
    // Each destination listed once, rather than each row's name looked at.
    QHash<QString, QSet<QString>> present;
    for (const QString& folder : plan_.destinations) {
        QSet<QString>& names = present[WithClosingSeparator(folder)];
        platform::FolderReader reader(ToFsPath(folder));
        platform::FolderEntry entry;
        while (reader.Next(entry))
            names.insert(FromFsName(entry.name).toCaseFolded());
    }
    const auto taken = [&present](const CopyRow& row) {
        const auto listed = present.constFind(row.folder);
        return row.name.contains(NativeSeparator()) || listed == present.cend() ? IsNameTaken(row.Destination())
                                                                                : listed->contains(row.name.toCaseFolded());
    };
    bool renamed = false;
    for (CopyRow& row : plan.rows) {
        const QString destination = row.Destination();
        if (row.IsBlank() || !taken(row) || plan_.records.IsRemovable(destination)
            || platform::RegularFileId(ToFsPath(row.source)) == platform::IdOf(ToFsPath(destination)))
            continue;
        const QString folder = FolderOf(row.name);
        const QString own = FileNameOf(row.name);
        std::uint32_t number = 1;
        row.name = folder + FreeNumberedName(own, number, [&](const QString& name) {
            const QString path = row.folder + folder + name;
            return claimed.contains(path.toCaseFolded()) || IsNameTaken(path);
        });
        claimed.insert(row.Destination().toCaseFolded());
        renamed = true;
    }
    if (renamed)
        copyList.SetRows(plan);
}
