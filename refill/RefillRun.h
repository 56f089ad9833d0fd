#pragma once

#include "copyrun/CopyRun.h"
#include "copyrun/ReadBack.h"
#include "core/CopyListRow.h"
#include "randomlist/CorrelateListviews.h"
#include "randomlist/DestinationVolumes.h"
#include "refill/CycleState.h"
#include "refill/DeviceDestinations.h"
#include "refill/FillBudget.h"
#include "refill/MadeFolders.h"
#include "refill/RatedSources.h"
#include "refill/RefillLocks.h"
#include "refill/RefillPlan.h"
#include "refill/RefillProblem.h"
#include "refill/RefillSettings.h"
#include "refill/Refresh.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DeviceFlusher;
class RandomSource;
class RowListModel;
struct FlushGroup;

// A refill, as both faces run it: it draws a plan (or takes a saved one, or
// the window's plain copy list), leaves out what the destinations cannot
// take, and carries the plan out: removes the last refill's copies, writes
// the record ahead, makes the folders, copies, flushes, reads back, removes
// the made folders left empty, writes the playlists, the records and the
// cycle. Everything it meets on the way, and all that the procedures below
// it meet, it tells the face's report, as facts.

// Told how the carrying out goes: the copy's rows, then the flushes and
// the read back.
class RefillProgress : public CopyRunObserver {
public:
    // Around the copy of the rows, which an interrupt may wait for.
    virtual void RowsBegin() {}
    virtual void RowsEnd() {}
    virtual void Flushing(const FlushGroup& group) { static_cast<void>(group); }
    virtual void ReadingBack() {}
    // Flushed and read back; what follows are the playlists' and records' writes.
    virtual void CopiesInPlace() {}
};

// What the carrying out did.
struct RefillOutcome {
    // The totals: copies in place (and read back whole), read back, rows
    // left out before the copy, and rows that failed (in the copy, the read
    // back, or bound into a folder that could not be made).
    int copied = 0;
    int verified = 0;
    int skipped = 0;
    int failed = 0;
    CopyRunSummary run;
    CopyRunSummary failures; // the rows that failed, in the copy or the read back, with why
    int removed = 0; // copies of the last refill
    std::optional<ReadBackSummary> readBack;
    QStringList arrived;       // the copies written (and read back whole)
    QStringList flushFailures; // the copy run's messages
    int intoFoldersNotMade = 0; // rows not copied, as their folder could not be made
};

class RefillRun final : private RefillReport {
public:
    RefillRun(RefillSettings settings, RefillReport& report);
    ~RefillRun() override;

    // The window's plain copy list, as "3." drew it without a refill
    // setting: carried out as it stands, and its problems told as a plain
    // copy's (no folder is looked for, a refused name fails its row).
    static std::unique_ptr<RefillRun> ForCopyList(RefillReport& report);
    bool IsPlainCopyList() const { return plan_.plainCopyList; }
    RefillRun(const RefillRun&) = delete;
    RefillRun& operator=(const RefillRun&) = delete;

    const RefillSettings& Settings() const { return settings_; }
    const RefillPlan& Plan() const { return plan_; }

    // Draws a plan: names the folders, leaves the destinations out of the
    // sources, locks the destinations (but in a dry run), reads their
    // records and draws, defaultCount files where the settings give none.
    CopyPlan Draw(RandomSource& random, double defaultCount);
    // The files the draw passed over, too large for a destination.
    const PassedOverFiles& PassedOver() const { return plan_.passedOver; }

    // Takes a plan drawn before (a saved one), thinned by the filters: the
    // rows bound for folders that are not there, or that another run holds,
    // are left out.
    void AdoptSavedPlan(CopyPlan& plan);

    // Leaves out of the copy list what the destinations cannot take: every
    // row of a destination where a file of the user's holds the playlist's
    // name, and with skipExisting each row whose name is taken (how many).
    int LeaveOutRefusedRows(RowListModel& copyList);

    // The copies and made folders (with a closing separator) that carrying
    // out removes first, with refresh.
    QStringList Removable() const { return plan_.records.Removable(); }
    int RemovableCopiesIn(const QString& folder) const { return plan_.records.RemovableCopiesIn(folder); }

    // For a plan drawn as a dry run (the window's "3."), before it is
    // carried out: takes the locks of the destinations and of the cycle,
    // reads each record again, and gives a drawn row whose name is now
    // taken a free numbered name (in copyList). A plain copy list's
    // destinations are locked as it names them now.
    void Recheck(RowListModel& copyList);

    // Carries the copy list out. The locks go when this run goes, or at
    // ReleaseLocks. A step of the copy that fails unexpectedly is told under
    // procedureLabel.
    RefillOutcome CarryOut(const RowListModel& copyList, RefillProgress& progress, DeviceFlusher& flusher,
                           const QString& procedureLabel);

    // Lets the locks go, once carried out (the window's, before its
    // messages); carrying the plan out again rechecks it first.
    void ReleaseLocks();

    // The destinations as the devices they are: their profiles, what the
    // plan makes for each, the sizes it plans, and where a device's limits
    // cut the draw.
    const DeviceDestinations& Devices() const { return devices_; }

    // What the draw by rating found and took; nullptr when it drew blind.
    const RatedDraw* Rated() const { return rated_ ? &rated_->Draw() : nullptr; }

    // With indexOnly: brings the library index up to date for the sources
    // and draws nothing. What it met.
    LibraryIndex::Outcome IndexOnly();

    // How many of the problems told failed the run.
    int Failures() const { return failures_; }

    // True when a device's profile cannot be used, or files must be
    // converted without an ffmpeg: the plan is then empty, as nothing may
    // be copied.
    bool DevicesStopTheRun() const { return devices_.StopTheRun(); }

private:
    struct DrawFolders;

    // Counts the failures told, and tells the face.
    void Tell(const RefillProblem& problem) override;
    QStringList NameFolders(DrawFolders& folders);
    CopyPlan DrawFrom(DrawFolders& folders, RandomSource& random, double defaultCount);
    std::optional<FillBudget> FillBudgetOf();
    Pairing PairingFor(const std::function<QStringList(const QString& folder)>& arrivalOf) const;
    // The pairing, with plain ASCII names where asked for.
    Pairing NamingFor(const std::function<QStringList(const QString& folder)>& arrivalOf) const;
    static void FoldPlanNames(CopyPlan& plan);
    void TellFoldersNotMade(const FoldersMade& folders);
    void TellNamesRefused(const QString& destination);
    QString DestinationHolding(const QString& path) const;
    void TellWhatTheDrawLeft(const DrawFolders& folders, const QSet<QString>& emptyFolders, const QList<CopyRow>& rows,
                             std::uint64_t candidates);
    // With lock, the destinations another run holds are left out.
    QStringList LockAndRead(const QStringList& destinations, bool lock);
    void WriteRecordAhead(const QList<CopyRow>& rows, const QStringList& foldersToMake);
    std::optional<ReadBackSummary> ReadBack(const QList<CopyRow>& rows, const QStringList& written,
                                            RefillProgress& progress);
    QStringList WritePlaylists(const QList<CopyRow>& rows, const QStringList& arrived);
    void RecordTheCycle(const QStringList& arrived, bool flushed);
    void RenameTakenRows(RowListModel& copyList) const;

    RefillSettings settings_;
    RefillReport& report_;
    RefillPlan plan_;
    RefillLocks locks_;
    std::optional<CycleState> cycle_;
    int skipped_ = 0; // rows left out for a name taken
    int failures_ = 0;
    QSet<QString> namesRefusedIn_; // destinations said to refuse names beyond ASCII
    DeviceDestinations devices_;
    std::optional<RatedSources> rated_;
};
