#include "commandline/CommandLine.h"

#include "commandline/ConsoleOutput.h"
#include "commandline/CycleState.h"
#include "commandline/FileFilter.h"
#include "commandline/FillBudget.h"
#include "commandline/FolderRows.h"
#include "commandline/MadeFolders.h"
#include "commandline/Options.h"
#include "commandline/PlanFile.h"
#include "commandline/Playlist.h"
#include "commandline/Refresh.h"
#include "commandline/WholeFolders.h"
#include "copyrun/CopyRun.h"
#include "copyrun/DestinationLocks.h"
#include "copyrun/DeviceFlush.h"
#include "copyrun/PlanText.h"
#include "copyrun/ReadBack.h"
#include "core/ErrorReport.h"
#include "core/FolderProblem.h"
#include "core/NumericValue.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"
#include "randomlist/CorrelateListviews.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#undef MessageBox // windows.h's name for MessageBoxW
#endif

namespace {

constexpr int kFailedStatus = 1;
constexpr int kUsageStatus = 2;

// A plan or list file that cannot be read: said as "what: path: reason",
// and nothing is done.
class InputError {
public:
    InputError(QString what, QString path, QString reason)
        : text(QStringLiteral("%1: %2: %3").arg(what, path, reason))
    {
    }
    QString text;
};

// Every plan and list file can be read, before anything is done.
void CheckInputFile(const QString& option, const QString& value)
{
    if (value == u"-")
        return;
    const QString path = AbsolutePath(value);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(ToFsPath(path), error);
    if (!error && std::filesystem::is_directory(status))
        error = std::make_error_code(std::errc::is_a_directory);
    if (!error && !std::ifstream(ToFsPath(path), std::ios::binary))
        error = std::error_code(errno, std::generic_category());
    if (error)
        throw InputError(option, path, QString::fromStdString(error.message()));
}

void CheckInputFiles(const Options& options)
{
    for (const auto* folders : {&options.sources, &options.destinations}) {
        for (const FolderOption& folder : *folders) {
            if (folder.kind == FolderSource::ListFile)
                CheckInputFile(folders == &options.sources ? QStringLiteral("--source-list")
                                                           : QStringLiteral("--dest-list"),
                               folder.value);
        }
    }
    if (!options.plan.isEmpty())
        CheckInputFile(QStringLiteral("--plan"), options.plan);
}

// The number of files when none is given: the window's stored one, read
// with its rules; a zero or a text counts as 1.
double StoredNumberOfFiles()
{
    const double stored = NumericValue(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")));
    return stored == 0.0 ? 1.0 : stored;
}

// The names already in the destination folders, which --keep-existing and
// --refresh keep: all but the copies --refresh removes.
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

struct DrawnPlan {
    CopyPlan rows;
    std::uint32_t seed = 0;
    std::optional<CycleState> cycle; // with --cycle
};

// The budget of --fill, named beside the draw's request for its hook.
std::optional<FillBudget> FillBudgetOf(const Options& options, const QStringList& destinations,
                                       const Refresh& refresh, ConsoleDialogs& dialogs)
{
    if (!options.fill)
        return std::nullopt;
    QStringList unknown;
    FillBudget budget(destinations, refresh.RemovableSizes(), unknown);
    for (const QString& folder : unknown) {
        PrintMessage(QStringLiteral("fill: %1: the free space cannot be told").arg(folder));
        dialogs.CountFailure();
    }
    return budget;
}

// The destination folders that are there. One that is not (a stick that is
// not mounted) is said once and left out: never made, which on an unmounted
// stick would fill the system's own disk.
QStringList ExistingFolders(const QStringList& folders, ConsoleDialogs& dialogs)
{
    QStringList existing;
    for (const QString& folder : folders) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(ToFsPath(folder), error);
        if (folder.trimmed().isEmpty() || std::filesystem::is_directory(status)) {
            existing.append(folder);
            continue;
        }
        using Kind = FolderProblem::Kind;
        const Kind kind = std::filesystem::exists(status) ? Kind::NotAFolder
            : status.type() == std::filesystem::file_type::not_found ? Kind::Missing
                                                                     : Kind::Unreadable;
        dialogs.ReportProblem({FolderProblem::Role::Destination, WithClosingSeparator(folder), kind, error});
    }
    return existing;
}

// Takes the lock of each destination folder, but in a dry run, which writes
// nothing. A folder that another run holds is said and left to it: the
// folders that are not.
QStringList LockDestinations(const QStringList& folders, const Options& options, DestinationLocks& locks,
                             ConsoleDialogs& dialogs)
{
    if (options.dryRun)
        return folders;
    std::function<void(const FolderInUse&)> waiting;
    if (options.wait) {
        waiting = [&options](const FolderInUse& busy) {
            if (!options.quiet)
                PrintMessage(QStringLiteral("dest: %1: %2; waiting for it").arg(busy.folder, InUseByAnotherRun(busy.holder)));
        };
    }
    locks.Take(folders, waiting);
    for (const FolderInUse& busy : locks.InUse()) {
        PrintMessage(QStringLiteral("dest: %1: %2").arg(busy.folder, InUseByAnotherRun(busy.holder)));
        dialogs.CountFailure();
    }
    for (const FolderUnlocked& folder : locks.Unlocked()) {
        if (!options.quiet)
            PrintMessage(QStringLiteral("dest: %1: no lock is kept there (%2); written unlocked").arg(folder.folder, folder.reason));
    }
    QStringList free;
    for (const QString& folder : folders) {
        if (!locks.FoldersLeftOut().contains(folder))
            free.append(folder);
    }
    return free;
}

// A saved plan's rows bound for folders that are not there, or that another
// run holds, are left out.
void LeaveOutFoldersNotFree(CopyPlan& plan, const Options& options, DestinationLocks& locks, ConsoleDialogs& dialogs)
{
    const QStringList folders = ExistingFolders(DestinationFoldersOf(plan.rows), dialogs);
    const QStringList free = LockDestinations(folders, options, locks, dialogs);
    const QSet<QString> kept(free.begin(), free.end());
    plan.rows.removeIf([&kept](const CopyRow& row) { return !row.IsBlank() && !kept.contains(row.folder); });
}

// Draws the plan; with --refresh, reads the destinations' records first, so
// that the copies it will remove free their names and space. A folder named
// twice, in any writing, is one destination.
DrawnPlan DrawPlan(const Options& options, Refresh& refresh, DestinationLocks& locks, ErrorReport& report,
                   ConsoleDialogs& dialogs)
{
    DrawnPlan plan;
    plan.seed = options.seed ? *options.seed : std::random_device {}();
    if (!options.seed && !options.quiet)
        PrintMessage(QStringLiteral("seed %1").arg(plan.seed)); // so that any run can be repeated
    ProcessRandom random;
    random.Seed(plan.seed);
    FolderRows sources;
    FolderRows destinations;
    AddFolders(options.sources, sources, report, dialogs);
    AddFolders(options.destinations, destinations, report, dialogs);
    dialogs.NoteQuietlyForTrees(sources.treeRows);
    // Every destination named is kept out of the sources, filled or not.
    const QStringList named = DistinctFolders(destinations.list.Rows());
    LeaveOutDestinations(sources, named, dialogs);
    const QStringList destinationRows = LockDestinations(ExistingFolders(named, dialogs), options, locks, dialogs);
    if (options.refresh)
        refresh.Read(destinationRows, dialogs);

    SelectionRequest request;
    request.sourceRows = sources.list.Rows();
    request.allowRepeats = options.repeats;
    request.balance = options.balance;
    if (options.cycle) {
        plan.cycle.emplace(options);
        request.heldBack = [&cycle = *plan.cycle](const QString& path) { return cycle.Drawn(path); };
    }
    request.namesInByteOrder = true;
    request.maxBytes = options.maxBytes;
    request.listed = &sources.files;
    request.wholeFolders = options.wholeFolders;
    QHash<QString, QString> rootOf; // source folder -> the folder its path is taken below
    for (qsizetype row = 0; row < request.sourceRows.size(); ++row)
        rootOf.insert(WithClosingSeparator(request.sourceRows[row]), sources.roots[row]);
    const auto arrivalOf = [&rootOf](const QString& folder) { return ArrivalFolders(folder, rootOf.value(folder, folder)); };
    // With a size budget and no number, the budget alone says how many.
    if (options.count)
        request.numberOfFiles = static_cast<double>(*options.count);
    else if (options.maxBytes || options.fill)
        request.numberOfFiles = std::numeric_limits<double>::infinity();
    else
        request.numberOfFiles = StoredNumberOfFiles();
    const FileFilter filter(options.filters);
    // Counted only for the budget's message; asked of every file, so set
    // only when filters or a budget need it.
    std::uint64_t candidates = 0;
    if (!filter.IsEmpty() || options.maxBytes || options.fill) {
        request.accepts = [&](qsizetype row, platform::NativeStringView nativeName) {
            if (!filter.IsEmpty()) {
                const QString name = FromFsName(nativeName);
                const QString& folder = request.sourceRows[row];
                const QString below = (folder.endsWith(NativeSeparator()) ? folder : FolderOf(folder))
                                          .mid(sources.roots[row].size()) + name;
                if (!filter.Accepts(name, below))
                    return false;
            }
            ++candidates;
            return true;
        };
    }
    std::optional<FillBudget> budget = FillBudgetOf(options, destinationRows, refresh, dialogs);
    if (budget) {
        request.fits = [&](const QString& path, std::uint64_t size) { return budget->Take(FileNameOf(path), size); };
        request.folderFits = [&](const QString& folder, const std::vector<SizedFile>& files) {
            return budget->TakeFolder(arrivalOf(folder), files);
        };
    }
    // --refresh replaces no one's file: names in use are taken, as --keep-existing takes them.
    const bool keepNames = options.keepExisting || (options.refresh && !options.skipExisting);
    QSet<QString> taken = keepNames ? NamesIn(destinationRows, refresh) : QSet<QString>();
    if (!options.playlist.isEmpty())
        taken.insert(options.playlist); // a drawn file of that name takes a number
    Pairing pairing = [&](const Selection& selection, const QStringList& folders, const DestinationVolumes& volumes) {
        return PairWithFolders(selection, folders, volumes, taken, options.numbered);
    };
    if (options.wholeFolders) {
        ArrivalLookup lookup;
        lookup.arrivalOf = arrivalOf;
        lookup.blocked = [&refresh](const QString& path) {
            std::error_code error;
            const auto status = std::filesystem::symlink_status(ToFsPath(path), error);
            return std::filesystem::exists(status) && !std::filesystem::is_directory(status) && !refresh.IsRemovable(path);
        };
        lookup.takenIn = [&](const QStringList& folders) { return keepNames ? NamesIn(folders, refresh) : QSet<QString>(); };
        pairing = WholeFolderPairing(std::move(lookup), options.numbered);
    }
    PassedOverFiles passedOver;
    report.Step(102, [&] {
        plan.rows = CorrelateListviews(request, destinationRows, random, dialogs, pairing, &passedOver);
    });
    // A note, not a failure: others were drawn in their place.
    for (const QString& file : passedOver.files) {
        if (!options.quiet)
            PrintMessage(TooLargeNote(file, passedOver));
    }

    for (const auto& [top, rows] : sources.trees) {
        if (std::all_of(rows.begin(), rows.end(), [&](const QString& row) { return dialogs.EmptyFolders().contains(row); })
            && !options.quiet)
            PrintMessage(QStringLiteral("source: %1: no files in this folder or below").arg(top));
    }
    const qsizetype drawn = DrawnCount(plan.rows.rows, destinationRows, options.wholeFolders);
    if ((options.maxBytes || options.fill) && drawn == 0 && candidates > 0) {
        PrintMessage(options.maxBytes ? QStringLiteral("no file fits in %1 bytes").arg(*options.maxBytes)
                                      : QStringLiteral("no file fits in the destinations' free space"));
        dialogs.CountFailure();
    } else if (options.count && !options.repeats && !options.maxBytes && !options.fill && passedOver.files.isEmpty()
               && drawn > 0
               && static_cast<std::uint64_t>(drawn) < *options.count && !options.quiet) {
        PrintMessage(QStringLiteral("only %1 %2 to draw from: %1 drawn").arg(drawn).arg(options.wholeFolders ? "folders" : "files"));
    }
    return plan;
}

// Leaves out the rows of a plan whose source the filters refuse.
void FilterPlan(CopyPlan& plan, const std::vector<NameFilter>& filters)
{
    const FileFilter filter(filters);
    if (filter.IsEmpty())
        return;
    CopyPlan kept;
    for (qsizetype row = 0; row < plan.rows.size(); ++row) {
        const QString& source = plan.rows[row].source;
        if (filter.Accepts(FileNameOf(source), source)) {
            kept.Append(plan.rows[row]);
        }
    }
    plan = std::move(kept);
}

// Leaves out the rows of every destination where the playlist's name is
// taken by a file of the user's, which is not replaced; each is said.
void LeaveOutOthersPlaylists(RowListModel& copyList, const QString& playlist, const Refresh& refresh,
                             ConsoleDialogs& dialogs)
{
    const QStringList others = DestinationsWithOthersPlaylist(
        copyList.CopyRows(), playlist, [&refresh](const QString& path) { return refresh.IsRemovable(path); });
    if (others.isEmpty())
        return;
    for (const QString& folder : others) {
        PrintMessage(QStringLiteral("playlist: %1: not written by quorvex, so not replaced; nothing was copied into %2")
                         .arg(folder + playlist, folder));
        dialogs.CountFailure();
    }
    const QSet<QString> leftOut(others.begin(), others.end());
    std::vector<int> rows;
    for (int row = 0; row < copyList.Count(); ++row) {
        if (leftOut.contains(copyList.CopyRowAt(row).folder))
            rows.push_back(row);
    }
    copyList.Remove(rows);
}

// Leaves out every row whose destination name exists, whatever it holds,
// but for the copies --refresh removes.
int LeaveOutExisting(RowListModel& copyList, const Refresh& refresh)
{
    std::vector<int> existing;
    for (int row = 0; row < copyList.Count(); ++row) {
        const QString destination = copyList.CopyRowAt(row).Destination();
        std::error_code error;
        if (!refresh.IsRemovable(destination)
            && std::filesystem::exists(std::filesystem::symlink_status(ToFsPath(destination), error)))
            existing.push_back(row);
    }
    copyList.Remove(existing);
    return static_cast<int>(existing.size());
}

// The files and bytes each destination folder gets; one line when all get
// the same, as they do unless a filter told them apart.
void PrintPlanSize(const QList<CopyRow>& rows)
{
    std::map<QString, std::pair<int, std::uint64_t>> perFolder;
    for (const CopyRow& row : rows) {
        auto& [files, bytes] = perFolder[row.folder];
        ++files;
        if (const auto facts = platform::FactsOf(ToFsPath(row.source)))
            bytes += facts->size;
    }
    const auto line = [](int files, std::uint64_t bytes) {
        return QStringLiteral("%1 files, %2 bytes (%3 MiB)").arg(files).arg(bytes).arg(bytes / 1048576.0, 0, 'f', 1);
    };
    const auto& first = perFolder.begin()->second;
    if (std::all_of(perFolder.begin(), perFolder.end(), [&](const auto& folder) { return folder.second == first; })) {
        PrintMessage(QStringLiteral("plan: %1 per destination folder").arg(line(first.first, first.second)));
        return;
    }
    for (const auto& [folder, size] : perFolder)
        PrintMessage(QStringLiteral("plan: %1 for %2").arg(line(size.first, size.second), folder));
}

std::uint64_t BytesOf(const QStringList& files)
{
    std::uint64_t bytes = 0;
    for (const QString& file : files) {
        if (const auto facts = platform::FactsOf(ToFsPath(file)))
            bytes += facts->size;
    }
    return bytes;
}

// Reads every copy back from its device: a copy that differs, or cannot be
// read, fails its row and is gone, and a device that returned something
// else than was written is said once.
ReadBackSummary ReadBack(const QList<CopyRow>& rows, const QStringList& written, ConsoleProgress& progress, bool quiet)
{
    progress.ReadingBack();
    ReadBackSummary summary = ReadBackCopies(rows, written);
    for (const auto& [row, outcome] : summary.failed)
        progress.RowFailed(row, CopyRowText(row), outcome);
    for (const QString& folder : summary.differing) {
        PrintMessage(QStringLiteral("verify: %1: a copy read back from the device differs from its source: the device "
                                    "may not hold what it claims").arg(folder));
    }
    for (const QString& folder : summary.throughCache) {
        if (!quiet)
            PrintMessage(QStringLiteral("verify: %1: the file system reads only through the system's cache: verified "
                                        "through the cache").arg(folder));
    }
    return summary;
}

QStringList WithoutRemoved(QStringList files, const QStringList& removed)
{
    const QSet<QString> gone(removed.begin(), removed.end());
    files.removeIf([&gone](const QString& file) { return gone.contains(file); });
    return files;
}

// Writes each destination's playlist of the copies that arrived, flushes
// it and gives it its name: the playlists in place.
QStringList WritePlaylists(const QList<CopyRow>& rows, const QStringList& arrived, const QString& name,
                           ConsoleProgress& progress, ConsoleDialogs& dialogs)
{
    std::vector<std::pair<QString, QString>> playlists; // written aside, and its place
    QStringList written;
    for (const PlannedPlaylist& playlist : PlaylistsFor(rows, arrived, name)) {
        const QString aside = WritePlaylistAside(playlist.path, playlist.entries, dialogs);
        if (!aside.isEmpty()) {
            playlists.emplace_back(aside, playlist.path);
            written.append(aside);
        }
    }
    SystemFlusher flusher;
    for (const QString& failure :
         FlushToDevices(written, flusher, [&](const FlushGroup& group) { progress.Flushing(group.folder); })) {
        dialogs.MsgBox(failure);
        dialogs.CountFailure();
    }
    QStringList inPlace;
    for (const auto& [aside, path] : playlists) {
        if (PutPlaylistInPlace(aside, path, dialogs))
            inPlace.append(path);
    }
    return inPlace;
}

int Run(const Options& options)
{
    HandleInterrupts();
    ConsoleDialogs dialogs(options.quiet);
    ErrorReport report(dialogs, ProcedureLabels::CommandLineRun());
    int failedLines = 0;
    DrawnPlan drawn;
    Refresh refresh(options.dryRun);
    DestinationLocks locks;
    if (options.plan.isEmpty()) {
        drawn = DrawPlan(options, refresh, locks, report, dialogs);
    } else {
        report.Step(104, [&] { drawn.rows = ReadPlan(options.plan == u"-" ? QString() : AbsolutePath(options.plan), failedLines); });
        FilterPlan(drawn.rows, options.filters);
        LeaveOutFoldersNotFree(drawn.rows, options, locks, dialogs);
    }
    RowListModel copyList(QStringLiteral("Random Copy List"));
    copyList.SetRows(drawn.rows);
    if (!options.playlist.isEmpty())
        LeaveOutOthersPlaylists(copyList, options.playlist, refresh, dialogs);
    const int skipped = options.skipExisting ? LeaveOutExisting(copyList, refresh) : 0;
    if (copyList.IsEmpty() && failedLines == 0 && skipped == 0) {
        if (!dialogs.FailuresReported())
            dialogs.MsgBox(kNoFilesAddedMessage);
        return kFailedStatus;
    }
    if ((options.maxBytes || options.fill) && !options.quiet)
        report.Step(106, [&] { PrintPlanSize(copyList.CopyRows()); });
    const std::optional<std::uint32_t> seed = options.plan.isEmpty() ? std::optional(drawn.seed) : std::nullopt;
    if (!options.savePlan.isEmpty() && !SavePlan(AbsolutePath(options.savePlan), copyList.CopyRows(), seed))
        return kFailedStatus;
    if (options.dryRun) {
        QByteArray heading;
        for (const QString& path : refresh.Removable())
            heading += "# remove " + PlanPath(path) + '\n';
        if (!options.playlist.isEmpty()) {
            for (const PlannedPlaylist& playlist : PlaylistsFor(copyList.CopyRows(), {}, options.playlist))
                heading += "# playlist " + PlanPath(playlist.path) + '\n';
        }
        if (options.verify)
            heading += "# verify: every copy is read back from its device once flushed\n";
        if (!PrintOut(heading + PlanText(copyList.CopyRows()))) {
            PrintMessage(QStringLiteral("standard output: the rows could not be written"));
            return kFailedStatus;
        }
        return failedLines > 0 || dialogs.FailuresReported() ? kFailedStatus : 0;
    }

    QElapsedTimer timer;
    timer.start();
    const int removed = options.refresh ? refresh.Remove(dialogs) : 0;
    const QStringList foldersToMake = FoldersToMake(copyList.CopyRows());
    if (options.refresh)
        refresh.Announce(copyList.CopyRows(), foldersToMake, dialogs);
    const QStringList madeFolders = MakeFolders(foldersToMake, dialogs);
    // With --verify, a copy is listed only once it was read back whole.
    ConsoleProgress progress(copyList.CopyRows(), !options.quiet, options.verbose && !options.verify);
    SetCopying(true);
    const CopyRunSummary run = RunCopyList(copyList, progress, report);
    SetCopying(false);
    SystemFlusher flusher;
    const QStringList flushFailures =
        FlushToDevices(run.written, flusher, [&](const FlushGroup& group) { progress.Flushing(group.folder); });
    std::optional<ReadBackSummary> readBack;
    if (options.verify)
        readBack = ReadBack(copyList.CopyRows(), run.written, progress, options.quiet);
    const QStringList arrived = readBack ? WithoutRemoved(run.written, readBack->removed) : run.written;
    if (options.verify && options.verbose)
        progress.ListCopies(arrived);
    // A folder whose copies all failed goes again.
    const QStringList foldersLeft = RemoveEmptyFolders(madeFolders);
    const QStringList playlists = options.playlist.isEmpty()
        ? QStringList()
        : WritePlaylists(copyList.CopyRows(), arrived, options.playlist, progress, dialogs);
    progress.Finish();
    if (options.refresh)
        refresh.WriteRecords(arrived, foldersLeft, playlists, dialogs);
    // Files whose flush failed may not have arrived: the cycle stays as it was.
    if (drawn.cycle && flushFailures.isEmpty()) {
        drawn.cycle->Record(drawn.rows.rows, arrived);
        if (!drawn.cycle->Save())
            dialogs.CountFailure();
    }
    if (run.sameFiles > 0)
        dialogs.MsgBox(kSameFilesMessage);
    for (const QString& failure : flushFailures)
        dialogs.MsgBox(failure);
    if (!progress.Written())
        PrintMessage(QStringLiteral("standard output: the copied files could not all be listed"));
    // Whatever fails the run is counted: rows, lines of a plan, rows that
    // named one file twice, flushes, copies read back wrong, and what was
    // said along the way.
    const int failedReadBack = readBack ? static_cast<int>(readBack->failed.size()) : 0;
    const int failed = run.failed + failedLines + run.sameFiles + static_cast<int>(flushFailures.size())
        + failedReadBack + dialogs.Failures() + (progress.Written() ? 0 : 1);
    if (!options.quiet) {
        PrintMessage(QStringLiteral("%1 copied (%2 in %3 s), %4%5%6 skipped, %7 failed")
                         .arg(run.copied - failedReadBack)
                         .arg(Bytes(BytesOf(arrived)))
                         .arg(timer.elapsed() / 1000.0, 0, 'f', 1)
                         .arg(readBack ? QStringLiteral("%1 verified, ").arg(readBack->verified) : QString())
                         .arg(options.refresh ? QStringLiteral("%1 removed, ").arg(removed) : QString())
                         .arg(skipped)
                         .arg(failed));
    }
    return failed == 0 ? 0 : kFailedStatus;
}

#ifdef Q_OS_WIN
bool HasStandardHandle(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A program with a window has no console of its own: help and messages go
// to the console it was started from, unless they are redirected (to a
// file, a pipe), which they must then reach.
void UseParentConsole()
{
    const bool out = HasStandardHandle(STD_OUTPUT_HANDLE);
    const bool err = HasStandardHandle(STD_ERROR_HANDLE);
    if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}
#endif

} // namespace

QStringList ProgramArguments(int argc, char* argv[])
{
    QStringList arguments;
#ifdef Q_OS_WIN
    static_cast<void>(argc);
    static_cast<void>(argv);
    int count = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments.append(QString::fromWCharArray(wide[i]));
        ::LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i)
        arguments.append(FromFsName(argv[i]));
#endif
    return arguments;
}

bool IsCommandLineRun(const QStringList& arguments) { return HasOptionOfItsOwn(arguments); }

int RunCommandLine(const QStringList& arguments)
{
#ifdef Q_OS_WIN
    UseParentConsole();
#endif
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies a random draw of files from the source folders into every destination folder."));
    const QCommandLineOption help = parser.addHelpOption();
    AddOptions(parser);
    try {
        if (!parser.parse(arguments))
            throw UsageError(RefusedArgumentsText(parser, arguments));
        if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
            QString text = parser.helpText();
            text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: quorvex"));
            PrintOut(text.toUtf8() + kHelpEpilogue);
            return 0;
        }
        if (parser.isSet(QStringLiteral("version"))) {
            PrintOut("quorvex " QUORVEX_VERSION "\n");
            return 0;
        }
        const Options options = OptionsOf(parser, arguments);
        CheckInputFiles(options);
        return Run(options);
    } catch (const UsageError& error) {
        PrintMessage(error.text);
        PrintMessage(QStringLiteral("try 'quorvex --help'"));
        return kUsageStatus;
    } catch (const InputError& error) {
        PrintMessage(error.text);
        return kUsageStatus;
    }
}
