#include "refill/Refresh.h"

#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"
#include "platform/Volume.h"
#include "refill/Fingerprint.h"

#include <cstdlib>
#include <filesystem>

namespace {

QString RecordPath(const QString& folder) { return folder + QLatin1String(kRefreshRecordName); }

// FAT keeps times to 2 seconds and in local time, so a time that moved by
// whole hours (another time zone, summer time) is still the same.
bool SameTime(std::int64_t seconds, std::int64_t recorded)
{
    const std::int64_t shift = std::llabs(seconds - recorded);
    const std::int64_t offHour = std::min(shift % 3600, 3600 - shift % 3600);
    return shift <= 2 || (shift <= 14 * 3600 && offHour <= 2);
}

bool IsRealFolder(const QString& path) { return std::filesystem::is_directory(StatusAt(path)); }

// Whether every folder between a destination and a path below it is a real
// folder: a removal never goes through a link put in a folder's place.
bool ThroughRealFolders(const QString& folder, const QString& below)
{
    const QStringList names = below.split(NativeSeparator());
    QString path = folder;
    for (qsizetype name = 0; name + 1 < names.size(); ++name) {
        path += names[name];
        if (!IsRealFolder(path))
            return false;
        path += NativeSeparator();
    }
    return true;
}

// Whether a file still looks like the copy recorded: a regular file (not a
// link put in its place) of the same size and time, and where the file
// system keeps its files' numbers across mounts, the same number.
bool LooksUnchanged(const QString& folder, const RecordedCopy& copy, bool lastingNumbers)
{
    if (!ThroughRealFolders(folder, copy.name))
        return false;
    const std::optional<platform::FileFacts> facts = platform::FactsAt(ToFsPath(folder + copy.name));
    return facts && facts->size == copy.size && SameTime(facts->modifiedSeconds, copy.modifiedSeconds)
        && !(lastingNumbers && copy.number && *copy.number != facts->number);
}

// Whether a file is still the copy recorded, also in what it holds (a tag
// editor keeps the size and may keep the time). A copy of a record of the
// first form is known by its look alone, and its fingerprint taken now.
bool StillTheCopy(const QString& folder, RecordedCopy& copy, bool lastingNumbers)
{
    if (!LooksUnchanged(folder, copy, lastingNumbers))
        return false;
    const std::optional<std::uint64_t> fingerprint = FingerprintOf(folder + copy.name);
    if (!copy.fingerprint) {
        copy.fingerprint = fingerprint;
        return fingerprint.has_value();
    }
    return fingerprint == copy.fingerprint;
}

qsizetype Depth(const RecordedCopy& entry) { return entry.name.count(NativeSeparator()); }

} // namespace

void Refresh::Read(const QStringList& folders, RefillReport& report)
{
    struct Candidate {
        std::size_t folder;
        RecordedCopy copy;
        bool unchanged = false;
    };
    std::vector<Candidate> candidates;
    for (const QString& row : folders) {
        if (row.trimmed().isEmpty())
            continue;
        const QString path = WithClosingSeparator(CollapseBackslashes(row));
        if (FindFolder(path) != nullptr)
            continue;
        Folder folder;
        folder.path = path;
        const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(path));
        folder.lastingNumbers = volume && volume->lastingFileIds;
        RecordReading record = ReadRecord(path);
        folder.refusal = record.refusal;
        if (folder.refusal.Refused() && dryRun_) {
            RefillProblem refused {RefillProblem::Kind::RecordRefused, RecordPath(path)};
            refused.refusal = folder.refusal;
            report.Tell(refused);
        }
        for (RecordedCopy& copy : record.copies) {
            if (copy.kind == RecordedKind::Folder)
                folder.madeFolders.push_back(std::move(copy));
            else
                candidates.push_back({folders_.size(), std::move(copy)});
        }
        folderIndex_.insert(path, folders_.size());
        folders_.push_back(std::move(folder));
    }
    // Each looked at and read on a few threads: a stick answers slowly.
    ForEachInParallel(candidates.size(), [&](std::size_t i) {
        Candidate& candidate = candidates[i];
        const Folder& folder = folders_[candidate.folder];
        candidate.unchanged = StillTheCopy(folder.path, candidate.copy, folder.lastingNumbers);
    });
    // A name recorded twice (a copy that replaced another in a run that was
    // stopped) is one file, removed once.
    for (Candidate& candidate : candidates) {
        Folder& folder = folders_[candidate.folder];
        const QString path = folder.path + candidate.copy.name;
        if (candidate.unchanged && !removable_.contains(path)) {
            removable_.insert(path);
            folder.removable.push_back(std::move(candidate.copy));
        }
    }
    for (Folder& folder : folders_)
        FindRemovableFolders(folder);
}

void Refresh::FindRemovableFolders(Folder& folder)
{
    // The innermost first: a folder goes when all it holds goes.
    std::vector<RecordedCopy> made = std::move(folder.madeFolders);
    std::stable_sort(made.begin(), made.end(), [](const RecordedCopy& a, const RecordedCopy& b) { return Depth(a) > Depth(b); });
    for (RecordedCopy& entry : made) {
        const QString path = folder.path + entry.name;
        // One put in its place, or gone, is not ours to record.
        if (removable_.contains(path) || !ThroughRealFolders(folder.path, entry.name) || !IsRealFolder(path))
            continue;
        // A killed run's temporaries would keep the folder from emptying
        // night after night; a live run's are left alone.
        if (!dryRun_)
            platform::SweepDeadRunsTemporaries(ToFsPath(path));
        bool empties = true;
        platform::FolderReader reader(ToFsPath(path));
        platform::FolderEntry found;
        while (empties && reader.Next(found))
            empties = removable_.contains(path + NativeSeparator() + FromFsName(found.name));
        if (empties && !reader.OpenError() && !reader.ReadError()) {
            removable_.insert(path);
            folder.madeFolders.push_back(std::move(entry));
        } else {
            folder.kept.push_back(std::move(entry)); // the user's things keep it, still ours
        }
    }
}

Refresh::Folder* Refresh::FindFolder(const QString& folderPath)
{
    const auto folder = folderIndex_.constFind(folderPath);
    return folder == folderIndex_.cend() ? nullptr : &folders_[*folder];
}

Refresh::Folder* Refresh::DestinationOf(const QString& path)
{
    for (QString folder = FolderOf(CollapseBackslashes(path)); folder.size() > 1; folder = FolderOf(folder.chopped(1))) {
        if (Folder* found = FindFolder(folder))
            return found;
    }
    return nullptr;
}

bool Refresh::IsRemovable(const QString& path) const { return removable_.contains(CollapseBackslashes(path)); }

int Refresh::RemovableCopiesIn(const QString& folder) const
{
    const auto found = folderIndex_.constFind(WithClosingSeparator(CollapseBackslashes(folder)));
    if (found == folderIndex_.cend())
        return 0;
    const std::vector<RecordedCopy>& removable = folders_[*found].removable;
    return static_cast<int>(std::count_if(removable.begin(), removable.end(),
                                          [](const RecordedCopy& copy) { return copy.kind == RecordedKind::File; }));
}

QStringList Refresh::Removable() const
{
    QStringList paths;
    for (const Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable)
            paths.append(folder.path + copy.name);
        for (const RecordedCopy& made : folder.madeFolders)
            paths.append(folder.path + made.name + NativeSeparator());
    }
    return paths;
}

std::vector<std::pair<QString, std::uint64_t>> Refresh::RemovableSizes() const
{
    std::vector<std::pair<QString, std::uint64_t>> sizes;
    for (const Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable)
            sizes.emplace_back(folder.path, copy.size);
    }
    return sizes;
}

void Refresh::Announce(const QList<CopyRow>& plan, const QStringList& foldersToMake, RefillReport& report)
{
    // The rows bound for a free name: a name still in use is the user's own
    // file, the drawn file itself lying in the destination, or a copy that
    // could not be removed and stays recorded as such.
    struct Planned {
        Folder* folder;
        QString name;
        qsizetype source;
    };
    std::vector<Planned> rows;
    QHash<QString, qsizetype> sourceIndex;
    QStringList sources;
    for (const CopyRow& row : plan) {
        Folder* folder = row.IsBlank() ? nullptr : FindFolder(WithClosingSeparator(CollapseBackslashes(row.folder)));
        if (folder == nullptr)
            continue;
        if (IsNameTaken(folder->path + row.name))
            continue;
        auto source = sourceIndex.constFind(row.source);
        if (source == sourceIndex.cend()) {
            source = sourceIndex.insert(row.source, sources.size());
            sources.append(row.source);
        }
        rows.push_back({folder, row.name, *source});
    }
    // A copy will hold what its source holds now: each source read once.
    std::vector<std::optional<RecordedCopy>> made(static_cast<std::size_t>(sources.size()));
    ForEachInParallel(made.size(), [&](std::size_t i) {
        const QString& source = sources[static_cast<qsizetype>(i)];
        if (const std::optional<Fingerprinted> read = FingerprintWithFactsOf(source)) {
            made[i] = RecordedCopy {{}, RecordedKind::File, read->facts.size, read->facts.modifiedSeconds, std::nullopt,
                                    read->fingerprint};
        }
    });
    for (const Planned& row : rows) {
        if (const std::optional<RecordedCopy>& copy = made[static_cast<std::size_t>(row.source)]) {
            RecordedCopy& planned = row.folder->planned[row.name];
            planned = *copy;
            planned.name = row.name;
        }
    }
    // A folder is recorded before it is made.
    std::vector<std::vector<RecordedCopy>> madeNext(folders_.size());
    for (const QString& made : foldersToMake) {
        if (Folder* folder = DestinationOf(made))
            madeNext[static_cast<std::size_t>(folder - folders_.data())].push_back(Made(*folder, made));
    }
    for (Folder& folder : folders_) {
        if (folder.refusal.Refused()) {
            const std::error_code error = SetRecordAside(folder.path);
            using Kind = RefillProblem::Kind;
            RefillProblem refused {error ? Kind::RecordNotSetAside : Kind::RecordSetAside, RecordPath(folder.path), error};
            refused.refusal = folder.refusal;
            report.Tell(refused);
        }
        std::vector<RecordedCopy> copies = folder.kept;
        const std::vector<RecordedCopy>& made = madeNext[static_cast<std::size_t>(&folder - folders_.data())];
        copies.insert(copies.end(), made.begin(), made.end());
        for (const RecordedCopy& copy : std::as_const(folder.planned))
            copies.push_back(copy);
        Write(folder, copies, report);
    }
}

int Refresh::Remove(RefillReport& report)
{
    int removed = 0;
    for (Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable) {
            const QString path = folder.path + copy.name;
            // Looked at again at its turn: a file changed since the plan stays.
            if (!LooksUnchanged(folder.path, copy, folder.lastingNumbers))
                continue;
            // A read-only copy (of a read-only source) goes too, as the copy run replaces one.
            const std::error_code error = platform::RemoveBelow(ToFsPath(folder.path), ToFsPath(copy.name), false);
            if (error) {
                report.Tell({RefillProblem::Kind::NotRemoved, path, error});
                folder.kept.push_back(copy);
            } else {
                removed += copy.kind == RecordedKind::File;
            }
        }
        folder.removable.clear();
        RemoveMadeFolders(folder, report);
    }
    removable_.clear();
    return removed;
}

void Refresh::RemoveMadeFolders(Folder& folder, RefillReport& report)
{
    for (const RecordedCopy& made : folder.madeFolders) {
        const QString path = folder.path + made.name;
        if (!ThroughRealFolders(folder.path, made.name) || !IsRealFolder(path))
            continue;
        // Something put there since stays, and keeps the folder.
        std::error_code error;
        if (std::filesystem::directory_iterator(ToFsPath(path), error) != std::filesystem::directory_iterator()) {
            folder.kept.push_back(made);
            continue;
        }
        error = platform::RemoveBelow(ToFsPath(folder.path), ToFsPath(made.name), true);
        if (error) {
            report.Tell({RefillProblem::Kind::NotRemoved, path, error});
            folder.kept.push_back(made);
        }
    }
    folder.madeFolders.clear();
}

RecordedCopy Refresh::Made(const Folder& folder, const QString& madePath)
{
    RecordedCopy made;
    made.kind = RecordedKind::Folder;
    made.name = CollapseBackslashes(madePath).mid(folder.path.size());
    if (made.name.endsWith(NativeSeparator()))
        made.name.chop(1);
    return made;
}

void Refresh::WriteRecords(const QStringList& written, const QStringList& madeFolders, const QStringList& playlists,
                           RefillReport& report)
{
    std::vector<std::vector<RecordedCopy>> records;
    records.reserve(folders_.size());
    for (const Folder& folder : folders_)
        records.push_back(folder.kept);
    for (const QString& made : madeFolders) {
        if (Folder* folder = DestinationOf(made); folder != nullptr && IsRealFolder(made))
            records[static_cast<std::size_t>(folder - folders_.data())].push_back(Made(*folder, made));
    }
    for (const QString& path : written + playlists) {
        Folder* folder = DestinationOf(path);
        const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(path));
        if (folder == nullptr || !facts)
            continue;
        const QString name = CollapseBackslashes(path).mid(folder->path.size());
        const RecordedKind kind = playlists.contains(path) ? RecordedKind::Playlist : RecordedKind::File;
        RecordedCopy copy {name, kind, facts->size, facts->modifiedSeconds, std::nullopt, std::nullopt};
        if (folder->lastingNumbers)
            copy.number = facts->number;
        // The source's fingerprint, unless the source changed before its copy.
        const auto planned = folder->planned.constFind(name);
        if (planned != folder->planned.cend() && planned->size == facts->size
            && SameTime(facts->modifiedSeconds, planned->modifiedSeconds))
            copy.fingerprint = planned->fingerprint;
        else
            copy.fingerprint = FingerprintOf(path);
        if (copy.fingerprint)
            records[static_cast<std::size_t>(folder - folders_.data())].push_back(std::move(copy));
    }
    for (std::size_t i = 0; i < folders_.size(); ++i)
        Write(folders_[i], records[i], report);
}

void Refresh::Write(Folder& folder, const std::vector<RecordedCopy>& copies, RefillReport& report)
{
    const std::error_code error = WriteRecord(folder.path, copies);
    if (!error || folder.recordFailed)
        return;
    folder.recordFailed = true;
    report.Tell({RefillProblem::Kind::RecordNotWritten, RecordPath(folder.path), error});
}
