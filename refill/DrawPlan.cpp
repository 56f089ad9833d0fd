// Drawing a plan: the folders named, the destinations kept out of the
// sources, the records read, and the draw with its pairing.

#include "refill/RefillRun.h"

#include "core/FolderProblem.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "platform/FileSystem.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/DestinationChecks.h"
#include "refill/FileFilter.h"
#include "refill/FillBudget.h"
#include "refill/FolderRows.h"
#include "refill/WholeFolders.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

using ArrivalOf = std::function<QStringList(const QString& folder)>;

// What the draw meets, told, but that a folder of a tree without files is
// no news: it is only noted, for the tree's own word when none of its
// folders has any.
class TreeQuietProblems final : public ProblemSink {
public:
    TreeQuietProblems(RefillReport& report, const QSet<QString>& treeRows) : told_(report), treeRows_(treeRows) {}

    void ReportProblem(const FolderProblem& problem) override
    {
        if (problem.kind == FolderProblem::Kind::Empty && treeRows_.contains(problem.folder))
            empty_.insert(problem.folder);
        else
            told_.ReportProblem(problem);
    }
    void ReportListFileProblem(const ListFileProblem& problem) override { told_.ReportListFileProblem(problem); }
    void ReportDrawProblem(const DrawProblem& problem) override { told_.ReportDrawProblem(problem); }
    void ReportStepFailure(const StepFailure& failure) override { told_.ReportStepFailure(failure); }

    const QSet<QString>& EmptyFolders() const { return empty_; }

private:
    ProblemsTold told_;
    const QSet<QString>& treeRows_;
    QSet<QString> empty_;
};

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


// What the settings ask of the draw.
SelectionRequest RequestFor(const RefillSettings& settings, const FolderRows& sources, double defaultCount)
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
        request.numberOfFiles = defaultCount;
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

CopyPlan RefillRun::Draw(RandomSource& random, double defaultCount)
{
    DrawFolders folders;
    plan_.destinations = NameFolders(folders);
    plan_.plannedFor = plan_.destinations;
    devices_.SetUp(plan_.destinations);
    if (!devices_.StopTheRun()) {
        plan_.drawn = DrawFrom(folders, random, defaultCount);
        devices_.FitDrawnPlan(plan_.drawn);
    }
    if (devices_.StopTheRun())
        plan_.drawn = {};
    return plan_.drawn;
}

LibraryIndex::Outcome RefillRun::IndexOnly()
{
    DrawFolders folders;
    AddFolders(settings_.sources, settings_, folders.sources, *this);
    SelectionRequest request;
    request.sourceRows = folders.sources.list.Rows();
    rated_.emplace(settings_, static_cast<RefillReport&>(*this));
    rated_->Weigh(request, folders.sources.files);
    return rated_->IndexOutcome();
}

// The folders the options name; every destination named is kept out of the
// sources, filled or not. The destinations to draw for.
QStringList RefillRun::NameFolders(DrawFolders& folders)
{
    AddFolders(settings_.sources, settings_, folders.sources, *this);
    AddFolders(settings_.destinations, settings_, folders.destinations, *this);
    const QStringList named = DistinctFolders(folders.destinations.list.Rows());
    LeaveOutDestinations(folders.sources, named, *this);
    return LockAndRead(ExistingFolders(named, *this), !settings_.dryRun);
}

CopyPlan RefillRun::DrawFrom(DrawFolders& folders, RandomSource& random, double defaultCount)
{
    const FolderRows& sources = folders.sources;
    SelectionRequest request = RequestFor(settings_, sources, defaultCount);
    request.listed = &folders.sources.files;
    if (settings_.cycle) {
        // Read under its lock, but in a plan drawn without locks.
        if (!settings_.dryRun)
            locks_.TakeCycle(CycleState::StateFileOf(settings_), *this);
        cycle_.emplace(settings_, static_cast<RefillReport&>(*this));
        request.heldBack = [this](const QString& path) { return cycle_->Drawn(path); };
    }
    if (DrawsByRating(settings_)) {
        rated_.emplace(settings_, static_cast<RefillReport&>(*this));
        rated_->Weigh(request, folders.sources.files);
    }
    const FileFilter filter(settings_.filters);
    std::uint64_t candidates = 0;
    // Counted only for the budget's word; asked of every file, so set only
    // when filters or a budget need it.
    if (!filter.IsEmpty() || settings_.maxBytes || settings_.fill)
        AcceptThroughFilter(request, sources, filter, candidates);
    const ArrivalOf arrivalOf = ArrivalsOf(sources);
    if (devices_.AnyConverts())
        request.sizeOnDestinations = [this](const QString& path, std::uint64_t size) {
            return devices_.SizeOnDevices(path, size);
        };
    std::optional<FillBudget> budget = FillBudgetOf();
    if (budget) {
        request.fits = [&](const QString& path, std::uint64_t size) { return budget->Take(FileNameOf(path), size); };
        request.folderFits = [&](const QString& folder, const std::vector<SizedFile>& files) {
            return budget->TakeFolder(arrivalOf(folder), files);
        };
    }
    TreeQuietProblems quiet(*this, sources.treeRows);
    const CopyPlan plan = CorrelateListviews(request, plan_.destinations, random, quiet, NamingFor(arrivalOf), &plan_.passedOver);
    if (rated_)
        rated_->CountDrawn(plan.rows);
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
    FillBudget budget(plan_.destinations, plan_.records.RemovableSizes(), unknown);
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
                && !plan_.records.IsRemovable(path);
        };
        lookup.takenIn = [this](const QStringList& arrivals) {
            return KeepsNames(settings_) ? NamesIn(arrivals, plan_.records) : QSet<QString>();
        };
        return WholeFolderPairing(std::move(lookup), settings_.numbered);
    }
    QSet<QString> taken = KeepsNames(settings_) ? NamesIn(plan_.destinations, plan_.records) : QSet<QString>();
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
    const qsizetype drawn = DrawnCount(rows, plan_.destinations, settings_.wholeFolders);
    if ((settings_.maxBytes || settings_.fill) && drawn == 0 && candidates > 0) {
        RefillProblem nothing {settings_.maxBytes ? RefillProblem::Kind::NothingFitsInSize
                                                  : RefillProblem::Kind::NothingFitsInFreeSpace};
        nothing.count = settings_.maxBytes.value_or(0);
        Tell(nothing);
    } else if (settings_.count && !settings_.repeats && !settings_.maxBytes && !settings_.fill
               && plan_.passedOver.files.isEmpty() && drawn > 0 && static_cast<std::uint64_t>(drawn) < *settings_.count) {
        RefillProblem fewer {RefillProblem::Kind::FewerToDrawFrom};
        fewer.count = static_cast<std::uint64_t>(drawn);
        if (settings_.minRating)
            fewer.description = QStringLiteral("rated %1 stars or more").arg(StarsText(*settings_.minRating));
        Tell(fewer);
    }
}
