#pragma once

#include "copyrun/CopyAhead.h"
#include "core/CopyListRow.h"
#include "device/DeviceProfile.h"
#include "device/FileTreatments.h"
#include "device/ProfileFile.h"
#include "refill/RefillProblem.h"
#include "refill/RefillSettings.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

class Refresh;

// What a destination folder gets of a plan: its files and their bytes.
struct PlannedSize {
    QString folder;
    int files = 0;
    std::uint64_t bytes = 0;
};

// The run's destinations as the devices they are: each one's profile, read
// once a run; what becomes of each drawn file there, and under which name;
// the plan kept within each device's limits of names, folders and counts;
// and at the copy, each row's file made ready (a song converted, a photo
// made) and a photo made larger than its guess admitted or left out.
class DeviceDestinations final : public CopyAhead::Preparation {
public:
    // records: the copies the refresh removes, which count as gone.
    DeviceDestinations(const RefillSettings& settings, const Refresh& records, RefillReport& report);

    // Gives each destination its profile: the one the settings name, else
    // the stick's own, else as-is, with the photos fitted to the settings'
    // frame. A profile that cannot be used is told, and stops the run.
    void SetUp(const QStringList& destinations);
    // True when a profile cannot be used, or songs must be converted
    // without an ffmpeg: nothing may then be copied.
    bool StopTheRun() const { return stopped_; }
    // True when some destination converts what it does not play.
    bool AnyConverts() const;
    // That of the destination a folder lies in; as-is for one not set up.
    const DeviceProfile& ProfileOf(const QString& folder) const;

    // A drawn plan fitted: the rows a device does not take as they are
    // marked, and those converted take the new extension; then names and
    // folders are kept within what the devices read, and the draw stops
    // where a device's count of files or folders would be passed.
    void FitDrawnPlan(CopyPlan& plan);
    // A saved plan, fitted when it was drawn, kept within the counts: a
    // device may hold more tonight.
    void FitSavedPlan(CopyPlan& plan);
    // Where a device's count of files or folders cut the draw, and by how many.
    const std::vector<RefillProblem>& LimitCuts() const { return limitCuts_; }

    // The most a file (of size bytes) takes on any destination.
    std::uint64_t SizeOnDevices(const QString& source, std::uint64_t size) const;
    // What each destination folder gets of the rows, by folder: a converted
    // file counted by the most it can take.
    std::vector<PlannedSize> PlannedSizes(const QList<CopyRow>& rows) const;
    // True for a row whose song ffmpeg converts or rewrites.
    bool ConvertsSong(const CopyRow& row) const;
    // True for a row whose photo is made to fit the frame.
    bool MakesPhoto(const CopyRow& row) const;

    // Ready to make the files of rows (the copy list's, by position): with
    // a budget, each photo to make counts by its guessed size, and each
    // folder's room beyond the plan is known. None when nothing is made.
    CopyAhead::Preparation* ReadyForCopy(const QList<CopyRow>& rows);
    CopyAhead::PreparedSource Prepare(const QString& source, const QString& destination) override;
    bool Admit(int position, const QString& made) override;
    // The rows as their copies were made: a converted file's from what was
    // made for it, so that a copy is read back against what it was copied from.
    QList<CopyRow> AsCopied(QList<CopyRow> rows) const;
    // Once the copies are made: the cache kept within its cap.
    void TrimCache();

private:
    // Every destination the plan names, as names are compared on FAT.
    static QSet<QString> ClaimedNames(const CopyPlan& plan);
    void Refuse(const ProfileError& error);
    void MarkAndRename(CopyPlan& plan);
    void RequireFfmpeg(const CopyPlan& plan);
    // DeviceDestinationLimits.cpp: the plan within what each device reads and counts.
    void FitFoldersToLimits(CopyPlan& plan) const;
    void SpreadOverFolders(CopyPlan& plan, const QString& folder, int perFolder) const;
    void FitNamesToLimits(CopyPlan& plan) const;
    void KeepWithinCounts(CopyPlan& plan);
    bool IsKeptFile(const QString& path) const;

    const RefillSettings& settings_;
    const Refresh& records_;
    RefillReport& report_;
    // What becomes of each file, read once a run: a cache, asked from const
    // questions too.
    mutable FileTreatments treatments_;
    QStringList destinations_;
    std::vector<std::pair<QString, DeviceProfile>> profiles_; // by folder, with its closing separator
    bool stopped_ = false;
    std::vector<RefillProblem> limitCuts_;
    mutable std::mutex preparedMutex_;
    QHash<QString, QString> prepared_; // source + '\n' + destination folder -> the file made for it
    // With a budget, at the copy: the guessed size of each photo to make, by
    // the row's position, and the room each destination folder has left.
    QList<CopyRow> copyRows_;
    std::map<int, std::int64_t> guessed_;
    std::map<QString, std::int64_t> roomLeft_;
};
