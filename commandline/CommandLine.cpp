#include "commandline/CommandLine.h"

#include "commandline/ConsoleOutput.h"
#include "commandline/DeviceCommands.h"
#include "commandline/Options.h"
#include "commandline/PlanFile.h"
#include "commandline/ScheduleCommands.h"
#include "copyrun/CopyRun.h"
#include "copyrun/DeviceFlush.h"
#include "copyrun/PlanText.h"
#include "core/ErrorReport.h"
#include "core/ListFile.h"
#include "core/NumericValue.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "core/SizeText.h"
#include "platform/FileSystem.h"
#include "randomlist/DestinationVolumes.h"
#include "refill/Playlist.h"
#include "refill/RefillRun.h"
#include "schedule/RefillLog.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#undef MessageBox // windows.h's name for MessageBoxW
#endif

namespace {

constexpr int kFailedStatus = 1;
constexpr int kUsageStatus = 2;
constexpr int kInterruptedStatus = 130;

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
    for (const auto* folders : {&options.refill.sources, &options.refill.destinations}) {
        for (const FolderOption& folder : *folders) {
            if (folder.kind == FolderSource::ListFile)
                CheckInputFile(folders == &options.refill.sources ? QStringLiteral("--source-list")
                                                           : QStringLiteral("--dest-list"),
                               folder.value);
        }
    }
    if (!options.plan.isEmpty())
        CheckInputFile(QStringLiteral("--plan"), options.plan);
}

// The files and bytes each destination folder gets; one line when all get
// the same, as they do unless a filter told them apart.
void PrintPlanSize(const RefillRun& refill, const QList<CopyRow>& rows)
{
    const std::vector<PlannedSize> sizes = refill.Devices().PlannedSizes(rows);
    const auto line = [](int files, std::uint64_t bytes) {
        return QStringLiteral("%1 files, %2 bytes (%3 MiB)").arg(files).arg(bytes).arg(bytes / 1048576.0, 0, 'f', 1);
    };
    const PlannedSize& first = sizes.front();
    if (std::all_of(sizes.begin(), sizes.end(),
                    [&](const PlannedSize& size) { return size.files == first.files && size.bytes == first.bytes; })) {
        PrintMessage(QStringLiteral("plan: %1 per destination folder").arg(line(first.files, first.bytes)));
        return;
    }
    for (const PlannedSize& size : sizes)
        PrintMessage(QStringLiteral("plan: %1 for %2").arg(line(size.files, size.bytes), size.folder));
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

bool IsStandardInput(const FolderOption& folder) { return folder.kind == FolderSource::ListFile && folder.value == u"-"; }

// The refill's settings as typed, with what it reads of standard input.
RefillSettings SettingsOf(const Options& options)
{
    RefillSettings settings = options.refill;
    const bool listFromInput = std::any_of(settings.sources.begin(), settings.sources.end(), IsStandardInput)
        || std::any_of(settings.destinations.begin(), settings.destinations.end(), IsStandardInput);
    if (listFromInput)
        settings.standardInput = ReadStandardInput(kListFileByteLimit + 1, settings.standardInputError);
    return settings;
}

// Draws the plan, saying the seed it draws with unless one was given, so
// that any run can be repeated.
// The number of files when none is given: the window's stored one, read
// with its rules; a zero or a text counts as 1.
double StoredNumberOfFiles()
{
    const double stored = NumericValue(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")));
    return stored == 0.0 ? 1.0 : stored;
}

CopyPlan DrawPlan(const Options& options, RefillRun& refill, std::uint32_t& seed)
{
    seed = options.seed ? *options.seed : std::random_device {}();
    if (!options.seed && !options.quiet)
        PrintMessage(QStringLiteral("seed %1").arg(seed));
    ProcessRandom random;
    random.Seed(seed);
    CopyPlan plan = refill.Draw(random, StoredNumberOfFiles());
    // A note, not a failure: others were drawn in their place.
    for (const QString& file : refill.PassedOver().files) {
        if (!options.quiet)
            PrintMessage(TooLargeNote(file, refill.PassedOver()));
    }
    return plan;
}

// A dry run's lines: what is removed first, the playlists, the read-back,
// and the rows.
bool PrintDryRun(const Options& options, const RefillRun& refill, const QList<CopyRow>& rows)
{
    QByteArray heading;
    for (const QString& path : refill.Removable())
        heading += "# remove " + PlanPath(path) + '\n';
    if (!refill.Settings().playlist.isEmpty()) {
        for (const PlannedPlaylist& playlist : PlaylistsFor(rows, {}, refill.Settings().playlist))
            heading += "# playlist " + PlanPath(playlist.path) + '\n';
    }
    if (options.refill.verify)
        heading += "# verify: every copy is read back from its device once flushed\n";
    QByteArray lines;
    if (const RatedDraw* rated = refill.Rated(); rated && options.verbose) {
        // Each row with its stars, ahead of it.
        for (const CopyRow& row : rows)
            lines += StarsShown(rated->ratingOf.value(row.source)).toUtf8() + '\t' + PlanLine(row) + '\n';
    } else {
        lines = PlanText(rows);
    }
    if (PrintOut(heading + lines))
        return true;
    PrintMessage(QStringLiteral("standard output: the rows could not be written"));
    return false;
}

// The closing line: "40 copied (12.3 MiB in 2.1 s), 0 skipped, 0 failed".
void PrintSummary(const Options& options, const RefillOutcome& outcome, int failed, qint64 milliseconds)
{
    PrintMessage(QStringLiteral("%1 copied (%2 in %3 s), %4%5%6 skipped, %7 failed")
                     .arg(outcome.copied)
                     .arg(SizeText(BytesOf(outcome.arrived)))
                     .arg(milliseconds / 1000.0, 0, 'f', 1)
                     .arg(outcome.readBack ? QStringLiteral("%1 verified, ").arg(outcome.readBack->verified) : QString())
                     .arg(options.refill.refresh ? QStringLiteral("%1 removed, ").arg(outcome.removed) : QString())
                     .arg(outcome.skipped)
                     .arg(failed));
}

// What a run did, for the refill log.
struct RunCounts {
    int copied = 0;
    int removed = 0;
    int verified = 0;
    int skipped = 0;
    int failed = 0;
};

// Carries the plan out with the refill; the failures it counts.
int CarryOut(const Options& options, RefillRun& refill, RowListModel& copyList, ConsoleDialogs& dialogs,
             int failedLines, RunCounts& counts)
{
    QElapsedTimer timer;
    timer.start();
    // With --verify, a copy is listed only once it was read back whole.
    ConsoleProgress progress(copyList.CopyRows(), !options.quiet, options.verbose && !options.refill.verify);
    SystemFlusher flusher;
    const RefillOutcome outcome = refill.CarryOut(copyList, progress, flusher, ProcedureLabels::CommandLineRun());
    if (options.refill.verify && options.verbose)
        progress.ListCopies(outcome.arrived);
    if (outcome.run.sameFiles > 0)
        dialogs.MsgBox(kSameFilesMessage);
    for (const QString& failure : outcome.flushFailures)
        dialogs.MsgBox(failure);
    if (!progress.Written())
        PrintMessage(QStringLiteral("standard output: the copied files could not all be listed"));
    // Whatever fails the run is counted: rows, lines of a plan, rows that
    // named one file twice, flushes, copies read back wrong, and what was
    // said along the way.
    const int failed = outcome.failed + failedLines + outcome.run.sameFiles
        + static_cast<int>(outcome.flushFailures.size()) + dialogs.Failures() + refill.Failures()
        + (progress.Written() ? 0 : 1);
    if (!options.quiet)
        PrintSummary(options, outcome, failed, timer.elapsed());
    counts = {outcome.copied, outcome.removed, outcome.verified, outcome.skipped, failed};
    return failed;
}

int Run(const Options& options, RunCounts& counts)
{
    HandleInterrupts();
    ConsoleDialogs dialogs;
    ConsoleReport said(options.quiet, options.refill.wholeFolders);
    ErrorReport report(dialogs, ProcedureLabels::CommandLineRun());
    RefillSettings settings = SettingsOf(options);
    int failedLines = 0;
    CopyPlan plan;
    bool planRead = options.plan.isEmpty();
    if (!planRead) {
        QString planDevice;
        report.Step(104, [&] {
            plan = ReadPlan(options.plan == u"-" ? QString() : AbsolutePath(options.plan), failedLines, &planDevice);
            planRead = true;
        });
        // The plan's names are those of its device's conversions.
        if (!planDevice.isEmpty() && !settings.device.isEmpty() && planDevice != settings.device) {
            PrintMessage(QStringLiteral("--device: the plan was made for the device %1; carry it out with that "
                                        "device, or draw a new plan").arg(planDevice));
            return kUsageStatus;
        }
        if (settings.device.isEmpty())
            settings.device = planDevice;
    }
    RefillRun refill(settings, said);
    if (settings.indexOnly) {
        // The index is all this run makes: one that could not be saved fails it.
        LibraryIndex::Outcome indexed;
        indexed.notSaved = QStringLiteral("not brought up to date");
        report.Step(110, [&] { indexed = refill.IndexOnly(); });
        if (options.verbose)
            PrintMessage(QStringLiteral("index: %1 files read, %2 dropped").arg(indexed.read).arg(indexed.dropped));
        return dialogs.Failures() + refill.Failures() > 0 || !indexed.notSaved.isEmpty() ? kFailedStatus : 0;
    }
    std::uint32_t seed = 0;
    if (options.plan.isEmpty())
        report.Step(102, [&] { plan = DrawPlan(options, refill, seed); });
    else if (planRead)
        report.Step(104, [&] { refill.AdoptSavedPlan(plan); });
    if (refill.DevicesStopTheRun())
        return kUsageStatus;
    RowListModel copyList(QStringLiteral("Random Copy List"));
    copyList.SetRows(plan);
    const int skipped = refill.LeaveOutRefusedRows(copyList);
    const auto failuresSaid = [&] { return dialogs.Failures() + refill.Failures(); };
    if (copyList.IsEmpty() && failedLines == 0 && skipped == 0) {
        if (failuresSaid() == 0)
            dialogs.MsgBox(kNoFilesAddedMessage);
        return kFailedStatus;
    }
    if ((options.refill.maxBytes || options.refill.fill) && !options.quiet)
        report.Step(106, [&] { PrintPlanSize(refill, copyList.CopyRows()); });
    if (refill.Rated() && options.verbose)
        PrintMessage(RatedDrawText(*refill.Rated()));
    const std::optional<std::uint32_t> planSeed = options.plan.isEmpty() ? std::optional(seed) : std::nullopt;
    if (!options.savePlan.isEmpty()
        && !SavePlan(AbsolutePath(options.savePlan), copyList.CopyRows(), planSeed, settings.device))
        return kFailedStatus;
    if (options.refill.dryRun) {
        if (!PrintDryRun(options, refill, copyList.CopyRows()))
            return kFailedStatus;
        return failedLines > 0 || failuresSaid() > 0 ? kFailedStatus : 0;
    }
    int failed = 1; // unless the carry-out gets to its end
    report.Step(108, [&] { failed = CarryOut(options, refill, copyList, dialogs, failedLines, counts); });
    return failed == 0 ? 0 : kFailedStatus;
}

// A run, or the registration of its command, once its input files are
// known to be readable.
int CheckedRun(const Options& options, RunCounts& counts)
{
    try {
        CheckInputFiles(options);
    } catch (const InputError& error) {
        PrintMessage(error.text);
        return kUsageStatus;
    }
    return options.scheduleAt.isEmpty() ? Run(options, counts) : ScheduleCommand(options);
}

// The run being logged: its start, its name and what it said, for an
// interrupt too.
struct LoggedRun {
    QDateTime started;
    QString name;
    QStringList said;
};
LoggedRun loggedRun;

void LogRun(int status, const RunCounts& counts)
{
    KeepMessages(nullptr, nullptr);
    const RunResult result {loggedRun.started, loggedRun.name, status, counts.copied, counts.removed,
                            counts.verified, counts.skipped, counts.failed};
    if (const std::error_code error = AppendToLog(result, loggedRun.said))
        PrintMessage(QStringLiteral("log: %1: %2").arg(RefillLogPath(), QString::fromStdString(error.message())));
}

int RunLogged(const Options& options)
{
    loggedRun = {QDateTime::currentDateTime(), options.scheduleName, {}};
    KeepMessages(&loggedRun.said, [] { LogRun(kInterruptedStatus, {}); });
    RunCounts counts;
    const int status = CheckedRun(options, counts);
    LogRun(status, counts);
    return status;
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
        if (parser.isSet(QStringLiteral("list-devices")))
            return ListDevicesCommand();
        const Options options = OptionsOf(parser, arguments);
        if (options.showSchedule)
            return ShowScheduleCommand(options);
        if (options.unschedule)
            return UnscheduleCommand(options);
        if (options.log)
            return RunLogged(options);
        RunCounts counts;
        return CheckedRun(options, counts);
    } catch (const UsageError& error) {
        PrintMessage(error.text);
        PrintMessage(QStringLiteral("try 'quorvex --help'"));
        return kUsageStatus;
    }
}
