#include "refill/RefillRun.h"

#include "copyrun/DeviceFlush.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/FolderProblem.h"
#include "core/NumericValue.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/DestinationChecks.h"
#include "refill/FileFilter.h"
#include "refill/FillBudget.h"
#include "refill/FolderRows.h"
#include "refill/MadeFolders.h"
#include "refill/Playlist.h"
#include "refill/WholeFolders.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <map>

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

} // namespace

namespace {

using ArrivalOf = std::function<QStringList(const QString& folder)>;

// The face's dialogs, but that a folder of a tree without files is no news:
// it is only noted, for the tree's own word when none of its folders has any.
class TreeQuietDialogs final : public Dialogs {
public:
    TreeQuietDialogs(Dialogs& face, const QSet<QString>& treeRows) : face_(face), treeRows_(treeRows) {}

    bool MessageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override
    {
        return face_.MessageBox(text, title, icon, buttons);
    }
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        return face_.InputBox(prompt, title, defaultText);
    }
    QString BrowseForFolder(const QString& title, const QString& start) override
    {
        return face_.BrowseForFolder(title, start);
    }
    QStringList OpenFiles(const QString& title, const QString& filter) override { return face_.OpenFiles(title, filter); }
    void OpenInFileBrowser(const QString& folder) override { face_.OpenInFileBrowser(folder); }
    void ErrorReportBox(const QString& description, const QString& reportText) override
    {
        face_.ErrorReportBox(description, reportText);
    }
    void ReportProblem(const FolderProblem& problem) override
    {
        if (problem.kind == FolderProblem::Kind::Empty && treeRows_.contains(problem.folder))
            empty_.insert(problem.folder);
        else
            face_.ReportProblem(problem);
    }

    const QSet<QString>& EmptyFolders() const { return empty_; }

private:
    Dialogs& face_;
    const QSet<QString>& treeRows_;
    QSet<QString> empty_;
};

// The number of files when none is given: the window's stored one, read
// with its rules; a zero or a text counts as 1.
double StoredNumberOfFiles()
{
    const double stored = NumericValue(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")));
    return stored == 0.0 ? 1.0 : stored;
}

// The names already in the destination folders, which keepExisting and
// refresh keep: all but the copies refresh removes.
QSet<QString> NamesIn(const QStringList& folders, const Refresh& refresh)
{
    QSet<QString> names;
    for (const QString& folder : folders) {
        platform::FolderReader reader(ToFsPath(folder));
        platform::FolderEntry entry;
        while (reader.Next(entry)) {
            const QString name = FromFsName(entry.name);
            if (!refresh.IsRemovable(WithClosingSeparator(folder) + name))
                names.insert(name);
        }
    }
    return names;
}

// How many files (or whole folders) the draw gave each of its destinations.
qsizetype DrawnCount(const QList<CopyRow>& rows, const QStringList& destinationRows, bool wholeFolders)
{
    if (wholeFolders) {
        QSet<QString> folders;
        for (const CopyRow& row : rows)
            folders.insert(FolderOf(row.source));
        return folders.size();
    }
    const qsizetype destinations = std::count_if(destinationRows.begin(), destinationRows.end(),
                                                 [](const QString& row) { return !row.trimmed().isEmpty(); });
    return destinations > 0 ? rows.size() / destinations : 0;
}

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

// What the settings ask of the draw.
SelectionRequest RequestFor(const RefillSettings& settings, const FolderRows& sources)
{
    SelectionRequest request;
    request.sourceRows = sources.list.Rows();
    request.allowRepeats = settings.repeats;
    request.balance = settings.balance;
    request.namesInByteOrder = true; // one seed draws the same on any machine
    request.maxBytes = settings.maxBytes;
    request.wholeFolders = settings.wholeFolders;
    // With a size budget and no number, the budget alone says how many.
    if (settings.count)
        request.numberOfFiles = static_cast<double>(*settings.count);
    else if (settings.maxBytes || settings.fill)
        request.numberOfFiles = std::numeric_limits<double>::infinity();
    else
        request.numberOfFiles = StoredNumberOfFiles();
    return request;
}

// Draws only from the files the filter takes, named by their path below
// their source's root; counts them.
void AcceptThroughFilter(SelectionRequest& request, const FolderRows& sources, const FileFilter& filter,
                         std::uint64_t& candidates)
{
    request.accepts = [&request, &sources, &filter, &candidates](qsizetype row, platform::NativeStringView nativeName) {
        if (!filter.IsEmpty()) {
            const QString name = FromFsName(nativeName);
            const QString& folder = request.sourceRows[row];
            const QString below =
                (folder.endsWith(NativeSeparator()) ? folder : FolderOf(folder)).mid(sources.roots[row].size()) + name;
            if (!filter.Accepts(name, below))
                return false;
        }
        ++candidates;
        return true;
    };
}

// Where a drawn folder arrives: its path below the folder its source row
// was found in.
ArrivalOf ArrivalsOf(const FolderRows& sources)
{
    QHash<QString, QString> rootOf; // source folder -> the folder its path is taken below
    const QStringList rows = sources.list.Rows();
    for (qsizetype row = 0; row < rows.size(); ++row)
        rootOf.insert(WithClosingSeparator(rows[row]), sources.roots[row]);
    return [rootOf](const QString& folder) { return ArrivalFolders(folder, rootOf.value(folder, folder)); };
}

} // namespace

struct RefillRun::DrawFolders {
    FolderRows sources;
    FolderRows destinations;
};

std::vector<PlannedSize> PlannedSizes(const QList<CopyRow>& rows)
{
    std::map<QString, PlannedSize> perFolder;
    for (const CopyRow& row : rows) {
        PlannedSize& size = perFolder[row.folder];
        size.folder = row.folder;
        ++size.files;
        if (const auto facts = platform::FactsOf(ToFsPath(row.source)))
            size.bytes += facts->size;
    }
    std::vector<PlannedSize> sizes;
    for (auto& [folder, size] : perFolder)
        sizes.push_back(std::move(size));
    return sizes;
}

RefillRun::RefillRun(RefillSettings settings, Dialogs& dialogs, RefillReport& report)
    : settings_(std::move(settings)), dialogs_(dialogs), report_(report), refresh_(settings_.dryRun)
{
    if (settings_.asciiNames)
        settings_.playlist = AsciiName(settings_.playlist);
}

RefillRun::~RefillRun() = default;

void RefillRun::Tell(const RefillProblem& problem)
{
    if (WeightOf(problem.kind) == Weight::Failure)
        ++failures_;
    report_.Tell(problem);
}

bool RefillRun::KeepsNames() const
{
    // A refresh replaces no one's file: names in use are taken, as keepExisting takes them.
    return settings_.keepExisting || (settings_.refresh && !settings_.skipExisting);
}

CopyPlan RefillRun::Draw(RandomSource& random, ErrorReport& report)
{
    DrawFolders folders;
    destinations_ = NameFolders(folders, report);
    plannedFor_ = destinations_;
    drawn_ = DrawFrom(folders, random, report);
    return drawn_;
}

// The folders the options name; every destination named is kept out of the
// sources, filled or not. The destinations to draw for.
QStringList RefillRun::NameFolders(DrawFolders& folders, ErrorReport& report)
{
    AddFolders(settings_.sources, settings_, folders.sources, report, dialogs_);
    AddFolders(settings_.destinations, settings_, folders.destinations, report, dialogs_);
    const QStringList named = DistinctFolders(folders.destinations.list.Rows());
    LeaveOutDestinations(folders.sources, named, dialogs_);
    return LockAndRead(ExistingFolders(named, dialogs_));
}

// Locks the destinations, but in a dry run, and reads the records of those
// it may write into: the copies the refresh removes free their names and
// space for the draw.
QStringList RefillRun::LockAndRead(const QStringList& destinations)
{
    const QStringList free = settings_.dryRun ? destinations
                                              : LockDestinations(destinations, settings_.wait, locks_, *this);
    if (settings_.refresh)
        refresh_.Read(free, *this);
    return free;
}

CopyPlan RefillRun::DrawFrom(DrawFolders& folders, RandomSource& random, ErrorReport& report)
{
    const FolderRows& sources = folders.sources;
    SelectionRequest request = RequestFor(settings_, sources);
    request.listed = &folders.sources.files;
    if (settings_.cycle) {
        cycle_.emplace(settings_, static_cast<RefillReport&>(*this));
        request.heldBack = [this](const QString& path) { return cycle_->Drawn(path); };
    }
    const FileFilter filter(settings_.filters);
    std::uint64_t candidates = 0;
    // Counted only for the budget's word; asked of every file, so set only
    // when filters or a budget need it.
    if (!filter.IsEmpty() || settings_.maxBytes || settings_.fill)
        AcceptThroughFilter(request, sources, filter, candidates);
    const ArrivalOf arrivalOf = ArrivalsOf(sources);
    std::optional<FillBudget> budget = FillBudgetOf();
    if (budget) {
        request.fits = [&](const QString& path, std::uint64_t size) { return budget->Take(FileNameOf(path), size); };
        request.folderFits = [&](const QString& folder, const std::vector<SizedFile>& files) {
            return budget->TakeFolder(arrivalOf(folder), files);
        };
    }
    TreeQuietDialogs quiet(dialogs_, sources.treeRows);
    CopyPlan plan;
    report.Step(102, [&] {
        plan = CorrelateListviews(request, destinations_, random, quiet, NamingFor(arrivalOf), &passedOver_);
    });
    TellWhatTheDrawLeft(folders, quiet.EmptyFolders(), plan.rows, candidates);
    return plan;
}

// With fill: what each destination's file system can still take, after
// the refresh's removals.
std::optional<FillBudget> RefillRun::FillBudgetOf()
{
    if (!settings_.fill)
        return std::nullopt;
    QStringList unknown;
    FillBudget budget(destinations_, refresh_.RemovableSizes(), unknown);
    for (const QString& folder : unknown)
        Tell({RefillProblem::Kind::FreeSpaceUnknown, folder});
    return budget;
}

// How the drawn files are named in the destinations: each its own name, or
// each drawn folder under its path; a name in use that the run must not
// replace is taken, as is the playlist's.
Pairing RefillRun::PairingFor(const ArrivalOf& arrivalOf) const
{
    if (settings_.wholeFolders) {
        ArrivalLookup lookup;
        lookup.arrivalOf = arrivalOf;
        lookup.blocked = [this](const QString& path) {
            const std::filesystem::file_status status = StatusAt(path);
            return std::filesystem::exists(status) && !std::filesystem::is_directory(status)
                && !refresh_.IsRemovable(path);
        };
        lookup.takenIn = [this](const QStringList& arrivals) {
            return KeepsNames() ? NamesIn(arrivals, refresh_) : QSet<QString>();
        };
        return WholeFolderPairing(std::move(lookup), settings_.numbered);
    }
    QSet<QString> taken = KeepsNames() ? NamesIn(destinations_, refresh_) : QSet<QString>();
    if (!settings_.playlist.isEmpty())
        taken.insert(settings_.playlist); // a drawn file of that name takes a number
    return [taken, numbered = settings_.numbered](const Selection& selection, const QStringList& destinations,
                                                  const DestinationVolumes& volumes) {
        return PairWithFolders(selection, destinations, volumes, taken, numbered);
    };
}

Pairing RefillRun::NamingFor(const ArrivalOf& arrivalOf) const
{
    Pairing pairing = PairingFor(arrivalOf);
    if (!settings_.asciiNames)
        return pairing;
    return [pairing = std::move(pairing)](const Selection& selection, const QStringList& destinations,
                                          const DestinationVolumes& volumes) {
        return pairing(selection, destinations, volumes.WithAsciiNames());
    };
}

// What the draw could not do as asked: a tree without files, nothing that
// fits, fewer files than asked for.
void RefillRun::TellWhatTheDrawLeft(const DrawFolders& folders, const QSet<QString>& emptyFolders,
                                    const QList<CopyRow>& rows, std::uint64_t candidates)
{
    for (const auto& [top, treeRows] : folders.sources.trees) {
        if (std::all_of(treeRows.begin(), treeRows.end(), [&](const QString& row) { return emptyFolders.contains(row); }))
            Tell({RefillProblem::Kind::TreeWithoutFiles, top});
    }
    const qsizetype drawn = DrawnCount(rows, destinations_, settings_.wholeFolders);
    if ((settings_.maxBytes || settings_.fill) && drawn == 0 && candidates > 0) {
        RefillProblem nothing {settings_.maxBytes ? RefillProblem::Kind::NothingFitsInSize
                                                  : RefillProblem::Kind::NothingFitsInFreeSpace};
        nothing.count = settings_.maxBytes.value_or(0);
        Tell(nothing);
    } else if (settings_.count && !settings_.repeats && !settings_.maxBytes && !settings_.fill
               && passedOver_.files.isEmpty() && drawn > 0 && static_cast<std::uint64_t>(drawn) < *settings_.count) {
        RefillProblem fewer {RefillProblem::Kind::FewerToDrawFrom};
        fewer.count = static_cast<std::uint64_t>(drawn);
        Tell(fewer);
    }
}

void RefillRun::TakePlan(CopyPlan& plan)
{
    const FileFilter filter(settings_.filters);
    if (!filter.IsEmpty()) {
        plan.rows.removeIf([&filter](const CopyRow& row) {
            return !filter.Accepts(FileNameOf(row.source), row.source);
        });
    }
    destinations_ = LockAndRead(ExistingFolders(DestinationFoldersOf(plan.rows), dialogs_));
    plannedFor_ = destinations_;
    const QSet<QString> kept(destinations_.begin(), destinations_.end());
    plan.rows.removeIf([&kept](const CopyRow& row) { return !row.IsBlank() && !kept.contains(row.folder); });
    if (settings_.asciiNames)
        FoldPlanNames(plan);
}

// A saved plan's names in plain ASCII; two that fold alike in one
// destination take numbers, as clashing names do.
void RefillRun::FoldPlanNames(CopyPlan& plan)
{
    QSet<QString> claimed;
    for (CopyRow& row : plan.rows) {
        if (row.IsBlank())
            continue;
        QStringList parts = row.name.split(NativeSeparator());
        for (QString& part : parts)
            part = AsciiName(part);
        const QString folder = parts.size() > 1 ? parts.mid(0, parts.size() - 1).join(NativeSeparator()) + NativeSeparator() : QString();
        QString name = folder + parts.back();
        for (std::uint32_t number = 1; claimed.contains((row.folder + name).toCaseFolded()); ++number)
            name = folder + DestinationFileName(parts.back(), number);
        claimed.insert((row.folder + name).toCaseFolded());
        row.name = name;
    }
}

int RefillRun::LeaveOut(RowListModel& copyList)
{
    QSet<QString> leftOut;
    if (!settings_.playlist.isEmpty()) {
        // A playlist of the user's is not replaced: nothing goes into its folder.
        const QStringList others = DestinationsWithOthersPlaylist(
            copyList.CopyRows(), settings_.playlist, [this](const QString& path) { return refresh_.IsRemovable(path); });
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
        } else if (settings_.skipExisting && !refresh_.IsRemovable(copy.Destination())
                   && IsNameTaken(copy.Destination())) {
            rows.push_back(row);
            ++skipped;
        }
    }
    copyList.Remove(rows);
    return skipped;
}


void RefillRun::Recheck(RowListModel& copyList)
{
    settings_.dryRun = false;
    refresh_ = Refresh(false);
    destinations_ = LockAndRead(ExistingFolders(plannedFor_, dialogs_));
    if (cycle_)
        cycle_->LockForCopy();
    LeaveOut(copyList);
    if (KeepsNames())
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
    for (const QString& folder : destinations_) {
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
        if (row.IsBlank() || !taken(row) || refresh_.IsRemovable(destination)
            || platform::RegularFileId(ToFsPath(row.source)) == platform::IdOf(ToFsPath(destination)))
            continue;
        const QString folder = FolderOf(row.name);
        const QString own = FileNameOf(row.name);
        QString name;
        for (std::uint32_t number = 1;; ++number) {
            name = folder + DestinationFileName(own, number);
            const QString path = row.folder + name;
            if (!claimed.contains(path.toCaseFolded()) && !IsNameTaken(path))
                break;
        }
        claimed.insert((row.folder + name).toCaseFolded());
        row.name = name;
        renamed = true;
    }
    if (renamed)
        copyList.SetRows(plan);
}

RefillOutcome RefillRun::CarryOut(const RowListModel& copyList, RefillProgress& progress, ErrorReport& report,
                                  DeviceFlusher& flusher)
{
    RefillOutcome outcome;
    const QList<CopyRow> rows = RowsToCarryOut(copyList, locks_.FoldersLeftOut());
    if (settings_.refresh)
        outcome.removed = refresh_.Remove(*this);
    const QStringList foldersToMake = FoldersToMake(rows);
    WriteRecordAhead(rows, foldersToMake);
    const FoldersMade folders = MakeFolders(foldersToMake);
    TellFoldersNotMade(folders);
    // The rows bound into a folder that is not there fail without a word
    // each: the folder was said.
    outcome.intoFoldersNotMade = RowsInto(rows, folders.notMade);
    NameRefusals watched(progress, [this](const QString& destination) { TellNamesRefused(destination); });
    progress.CopyBegins();
    outcome.run = RunCopyList(copyList, watched, report, locks_.FoldersLeftOut() + folders.notMade);
    progress.CopyEnds();
    outcome.flushFailures = FlushToDevices(outcome.run.written, flusher,
                                           [&](const FlushGroup& group) { progress.Flushing(group); });
    outcome.readBack = ReadBack(rows, outcome.run.written, progress);
    outcome.arrived = outcome.readBack ? WithoutRemoved(outcome.run.written, outcome.readBack->removed)
                                       : outcome.run.written;
    // A folder whose copies all failed goes again.
    const QStringList foldersLeft = RemoveEmptyFolders(folders.made);
    const QStringList playlists = WritePlaylists(rows, outcome.arrived);
    progress.CopiesDone();
    if (settings_.refresh)
        refresh_.WriteRecords(outcome.arrived, foldersLeft, playlists, *this);
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
    for (const QString& destination : destinations_) {
        if (path.startsWith(destination) && destination.size() < path.size()
            && (holding == FolderOf(path) || destination.size() > holding.size()))
            holding = destination;
    }
    return holding;
}

void RefillRun::LetGo()
{
    locks_ = DestinationLocks();
    if (cycle_)
        cycle_->Unlock();
    settings_.dryRun = true;
}

// After the removals, which make room for it on a full stick, and before
// any copy or folder is made.
void RefillRun::WriteRecordAhead(const QList<CopyRow>& rows, const QStringList& foldersToMake)
{
    if (settings_.refresh)
        refresh_.Announce(rows, foldersToMake, *this);
}

// Reads every copy back from its device, with verify: a copy that differs,
// or cannot be read, fails its row and is gone.
std::optional<ReadBackSummary> RefillRun::ReadBack(const QList<CopyRow>& rows, const QStringList& written,
                                                   RefillProgress& progress)
{
    if (!settings_.verify)
        return std::nullopt;
    progress.ReadingBack();
    ReadBackSummary summary = ReadBackCopies(rows, written);
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
    cycle_->Record(drawn_.rows, arrived);
    cycle_->Save();
}
