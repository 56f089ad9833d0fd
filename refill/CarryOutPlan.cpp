// Carrying a plan out: the removals, the record ahead, the folders, the
// copies, the flush, the read-back, the playlists, the records, the cycle.

#include "refill/RefillRun.h"

#include "copyrun/DeviceFlush.h"
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "folders/PathText.h"
#include "refill/MadeFolders.h"
#include "refill/Playlist.h"

#include <QSet>

namespace {

// Passes the copy run's news on to the face, but a name that the device
// refuses for its letters beyond ASCII is said once for its destination,
// not once for each file.
class NameRefusals final : public RefillProgress {
public:
    NameRefusals(RefillProgress& face, std::function<void(const QString& destination)> refusedIn)
        : face_(face), refusedIn_(std::move(refusedIn))
    {
    }
    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override
    {
        face_.RowStarting(rowNumber, rowCount, rowText);
    }
    void CopyProgressing(std::uint64_t copiedBytes) override { face_.CopyProgressing(copiedBytes); }
    void RowCopied(const QString& written) override { face_.RowCopied(written); }
    void RowFailed(const CopyRow& row, const QString& rowText, const CopyOutcome& outcome) override
    {
        if (outcome.failure == CopyOutcome::Failure::NameRefused
            && RefusesLettersBeyondAscii(FileNameOf(row.name), outcome.error))
            refusedIn_(row.folder);
        else
            face_.RowFailed(row, rowText, outcome);
    }

private:
    RefillProgress& face_;
    std::function<void(const QString& destination)> refusedIn_;
};

QStringList WithoutRemoved(QStringList files, const QStringList& removed)
{
    const QSet<QString> gone(removed.begin(), removed.end());
    files.removeIf([&gone](const QString& file) { return gone.contains(file); });
    return files;
}

// The rows of the copy list but those bound for folders another run holds.
QList<CopyRow> RowsToCarryOut(const RowListModel& copyList, const QSet<QString>& foldersInUse)
{
    QList<CopyRow> rows = copyList.CopyRows();
    if (!foldersInUse.isEmpty())
        rows.removeIf([&](const CopyRow& row) { return !row.IsBlank() && foldersInUse.contains(row.folder); });
    return rows;
}

} // namespace

RefillOutcome RefillRun::CarryOut(const RowListModel& copyList, RefillProgress& progress, DeviceFlusher& flusher,
                                  const QString& procedureLabel)
{
    RefillOutcome outcome;
    const QList<CopyRow> rows = RowsToCarryOut(copyList, locks_.FoldersLeftOut());
    if (settings_.refresh)
        outcome.removed = plan_.records.Remove(*this);
    const QStringList foldersToMake = FoldersToMake(rows);
    WriteRecordAhead(rows, foldersToMake);
    const FoldersMade folders = MakeFolders(foldersToMake);
    TellFoldersNotMade(folders);
    // The rows bound into a folder that is not there fail without a word
    // each: the folder was said.
    outcome.intoFoldersNotMade = RowsInto(rows, folders.notMade);
    // A plain copy list's rows fail each with its reason, a refused name too.
    NameRefusals watched(progress, [this](const QString& destination) { TellNamesRefused(destination); });
    CopyRunObserver& observer = plan_.plainCopyList ? static_cast<CopyRunObserver&>(progress) : watched;
    ProblemsTold problems(*this);
    progress.RowsBegin();
    CopyAhead::Limits limits = CopyAhead::DefaultLimits();
    limits.preparation = devices_.ReadyForCopy(copyList.CopyRows());
    outcome.run = RunCopyList(copyList, observer, problems, procedureLabel, limits,
                              locks_.FoldersLeftOut() + folders.notMade);
    progress.RowsEnd();
    devices_.TrimCache();
    outcome.flushFailures = FlushToDevices(outcome.run.written, flusher,
                                           [&](const FlushGroup& group) { progress.Flushing(group); });
    outcome.readBack = ReadBack(rows, outcome.run.written, progress);
    outcome.failures = outcome.run;
    outcome.copied = outcome.run.copied;
    if (outcome.readBack) {
        for (const auto& [row, failure] : outcome.readBack->failed)
            CountFailure(outcome.failures, CopyRowText(row), failure);
        outcome.copied -= static_cast<int>(outcome.readBack->failed.size());
        outcome.verified = outcome.readBack->verified;
    }
    outcome.skipped = skipped_;
    outcome.failed = outcome.failures.failed + outcome.intoFoldersNotMade;
    outcome.arrived = outcome.readBack ? WithoutRemoved(outcome.run.written, outcome.readBack->removed)
                                       : outcome.run.written;
    // A folder whose copies all failed goes again.
    const QStringList foldersLeft = RemoveEmptyFolders(folders.made);
    const QStringList playlists = WritePlaylists(rows, outcome.arrived);
    progress.CopiesInPlace();
    if (settings_.refresh)
        plan_.records.WriteRecords(outcome.arrived, foldersLeft, playlists, *this);
    RecordTheCycle(outcome.arrived, outcome.flushFailures.isEmpty());
    return outcome;
}

// Why each folder could not be made; a device that refuses letters beyond
// ASCII is said once for its destination.
void RefillRun::TellFoldersNotMade(const FoldersMade& folders)
{
    for (const auto& [folder, error] : folders.failures) {
        if (RefusesLettersBeyondAscii(FileNameOf(folder.chopped(1)), error))
            TellNamesRefused(DestinationHolding(folder));
        else
            Tell({RefillProblem::Kind::FolderNotMade, folder, error});
    }
}

void RefillRun::TellNamesRefused(const QString& destination)
{
    if (!namesRefusedIn_.contains(destination)) {
        namesRefusedIn_.insert(destination);
        Tell({RefillProblem::Kind::NamesRefused, destination});
    }
}

// The destination a path lies below: the longest that leads to it.
QString RefillRun::DestinationHolding(const QString& path) const
{
    QString holding = FolderOf(path);
    for (const QString& destination : plan_.destinations) {
        if (path.startsWith(destination) && destination.size() < path.size()
            && (holding == FolderOf(path) || destination.size() > holding.size()))
            holding = destination;
    }
    return holding;
}

void RefillRun::ReleaseLocks()
{
    locks_.Release();
}

// After the removals, which make room for it on a full stick, and before
// any copy or folder is made.
void RefillRun::WriteRecordAhead(const QList<CopyRow>& rows, const QStringList& foldersToMake)
{
    if (settings_.refresh)
        plan_.records.Announce(rows, foldersToMake, *this);
}

// Reads every copy back from its device, with verify: a copy that differs,
// or cannot be read, fails its row and is gone.
std::optional<ReadBackSummary> RefillRun::ReadBack(const QList<CopyRow>& rows, const QStringList& written,
                                                   RefillProgress& progress)
{
    if (!settings_.verify)
        return std::nullopt;
    progress.ReadingBack();
    ReadBackSummary summary = ReadBackCopies(devices_.AsCopied(rows), written);
    for (const auto& [row, outcome] : summary.failed)
        progress.RowFailed(row, CopyRowText(row), outcome);
    for (const QString& folder : summary.differing)
        Tell({RefillProblem::Kind::CopiesDiffer, folder});
    for (const QString& folder : summary.throughCache)
        Tell({RefillProblem::Kind::ReadThroughCache, folder});
    return summary;
}

// Writes each destination's playlist of the copies that arrived, in place:
// the playlists written.
QStringList RefillRun::WritePlaylists(const QList<CopyRow>& rows, const QStringList& arrived)
{
    QStringList written;
    if (settings_.playlist.isEmpty())
        return written;
    for (const PlannedPlaylist& playlist : PlaylistsFor(rows, arrived, settings_.playlist)) {
        if (WritePlaylist(playlist.path, playlist.entries, *this))
            written.append(playlist.path);
    }
    return written;
}

// Files whose flush failed may not have arrived: the cycle then stays as it was.
void RefillRun::RecordTheCycle(const QStringList& arrived, bool flushed)
{
    if (!cycle_ || !flushed)
        return;
    cycle_->Record(plan_.drawn.rows, arrived);
    cycle_->Save();
}
