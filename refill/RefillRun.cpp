#include "refill/RefillRun.h"

#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "platform/FileSystem.h"
#include "refill/DestinationChecks.h"
#include "refill/Playlist.h"

#include <QSet>

RefillRun::RefillRun(RefillSettings settings, RefillReport& report)
    : settings_(std::move(settings)), report_(report), devices_(settings_, plan_.records, *this)
{
    plan_.records = Refresh(settings_.dryRun);
    if (settings_.asciiNames)
        settings_.playlist = AsciiName(settings_.playlist);
}

std::unique_ptr<RefillRun> RefillRun::ForCopyList(RefillReport& report)
{
    auto run = std::make_unique<RefillRun>(RefillSettings {}, report);
    run->plan_.plainCopyList = true;
    return run;
}

RefillRun::~RefillRun() = default;

void RefillRun::Tell(const RefillProblem& problem)
{
    if (WeightOf(problem.kind) == Weight::Failure)
        ++failures_;
    report_.Tell(problem);
}

// Locks the destinations, but in a dry run, and reads the records of those
// it may write into: the copies the refresh removes free their names and
// space for the draw.
QStringList RefillRun::LockAndRead(const QStringList& destinations, bool lock)
{
    const QStringList free = lock ? locks_.TakeDestinations(destinations, settings_.wait, *this) : destinations;
    if (settings_.refresh)
        plan_.records.Read(free, *this);
    return free;
}

int RefillRun::LeaveOutRefusedRows(RowListModel& copyList)
{
    QSet<QString> leftOut;
    if (!settings_.playlist.isEmpty()) {
        // A playlist of the user's is not replaced: nothing goes into its folder.
        const QStringList others = DestinationsWithOthersPlaylist(
            copyList.CopyRows(), settings_.playlist, [this](const QString& path) { return plan_.records.IsRemovable(path); });
        for (const QString& folder : others)
            Tell({RefillProblem::Kind::PlaylistNotOurs, folder + settings_.playlist});
        leftOut = QSet<QString>(others.begin(), others.end());
    }
    std::vector<int> rows;
    int skipped = 0;
    for (int row = 0; row < copyList.Count(); ++row) {
        const CopyRow& copy = copyList.CopyRowAt(row);
        if (leftOut.contains(copy.folder)) {
            rows.push_back(row);
        } else if (settings_.skipExisting && !plan_.records.IsRemovable(copy.Destination())
                   && IsNameTaken(copy.Destination())) {
            rows.push_back(row);
            ++skipped;
        }
    }
    copyList.Remove(rows);
    skipped_ = skipped;
    return skipped;
}
