#include "commandline/CommandLine.h"

#include "commandline/ConsoleOutput.h"

#include "copyrun/CopyOneFile.h"
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
#include "core/SummaryText.h"
#include "folders/FileChecks.h"
#include "folders/ListFileSelection.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"
#include "randomlist/CopyListFilter.h"
#include "randomlist/CorrelateListviews.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#undef MessageBox // windows.h's name for MessageBoxW
#endif

namespace {

constexpr int kFailedStatus = 1;
constexpr int kUsageStatus = 2;

// The options. Short names take their value from the next argument, so
// that no Qt option of one dash ("-session") is read as one of them.
struct OptionRow {
    QStringList names;
    const char* valueName; // nullptr for a switch
    const char* description;
};

const std::vector<OptionRow>& OptionTable()
{
    static const std::vector<OptionRow> rows = {
        {{"s", "source"}, "DIR", "Draw files from the folder DIR (or the file DIR)."},
        {{"source-tree"}, "DIR", "Draw files from DIR and every folder below it."},
        {{"source-list"}, "FILE", "Draw files from the folders listed in FILE, one per line."},
        {{"d", "dest"}, "DIR", "Copy the draw into the folder DIR."},
        {{"dest-tree"}, "DIR", "Copy the draw into DIR and every folder below it."},
        {{"dest-list"}, "FILE", "Copy the draw into the folders listed in FILE."},
        {{"n", "count"}, "N", "Files per destination (default: the window's stored number, or 100)."},
        {{"r", "repeats"}, nullptr, "Allow the same file to be drawn more than once."},
        {{"exclude"}, "TEXT", "Leave out the rows that contain TEXT, ignoring case."},
        {{"only"}, "TEXT", "Keep only the rows that contain TEXT, ignoring case."},
        {{"seed"}, "N", "Draw with the seed N: the same seed and trees give the same plan."},
        {{"max-size"}, "SIZE", "Put at most SIZE into each destination (K, M, G, T: powers of 1024)."},
        {{"skip-existing"}, nullptr, "Leave out rows whose destination has the source's size and time."},
        {{"dry-run"}, nullptr, "Print the plan's rows and copy nothing."},
        {{"save-plan"}, "FILE", "Write the plan's rows to FILE, then carry them out (unless --dry-run)."},
        {{"plan"}, "FILE", "Carry out a saved plan."},
        {{"q", "quiet"}, nullptr, "Show nothing but errors."},
    };
    return rows;
}

const char* const kHelpEpilogue = R"(
Sources, destinations and filters are taken in the order given.
Without -n, --max-size draws until nothing more fits (with -r, give -n).
The manual page quorvex(1) tells the exit statuses, the plan format and examples.
)";

enum class FolderSource { Folder, Tree, ListFile };

struct FolderOption {
    FolderSource kind;
    QString value;
};

struct Filter {
    bool keepMatching;
    QString text;
};

struct Options {
    std::vector<FolderOption> sources;
    std::vector<FolderOption> destinations;
    std::vector<Filter> filters;
    std::optional<double> count;
    std::optional<std::uint32_t> seed;
    std::optional<std::uint64_t> maxBytes;
    bool repeats = false;
    bool skipExisting = false;
    bool dryRun = false;
    bool quiet = false;
    QString savePlan;
    QString plan;
};

class UsageError {
public:
    explicit UsageError(QString text) : text(std::move(text)) {}
    QString text;
};

std::optional<std::uint64_t> ParseSize(const QString& text)
{
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*([kmgt]?)(?:i?b)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = size.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int power = QStringLiteral(" kmgt").indexOf(match.captured(2).toLower());
    const double bytes = match.captured(1).toDouble() * std::pow(1024.0, power > 0 ? power : 0);
    if (!(bytes < 18e18))
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

QString Canonical(const QString& name)
{
    for (const OptionRow& option : OptionTable()) {
        if (option.names.contains(name))
            return option.names.back();
    }
    return name;
}

// The values of every option in the order typed: the parser keeps them per
// option only.
std::vector<std::pair<QString, QString>> ValuesInOrder(const QCommandLineParser& parser)
{
    std::vector<std::pair<QString, QString>> ordered;
    QHash<QString, qsizetype> used;
    for (const QString& name : parser.optionNames()) {
        const QString option = Canonical(name);
        const QStringList values = parser.values(option);
        qsizetype& next = used[option];
        ordered.emplace_back(option, next < values.size() ? values[next] : QString());
        ++next;
    }
    return ordered;
}

Options OptionsOf(const QCommandLineParser& parser)
{
    Options options;
    for (const auto& [option, value] : ValuesInOrder(parser)) {
        if (option == u"source")
            options.sources.push_back({FolderSource::Folder, value});
        else if (option == u"source-tree")
            options.sources.push_back({FolderSource::Tree, value});
        else if (option == u"source-list")
            options.sources.push_back({FolderSource::ListFile, value});
        else if (option == u"dest")
            options.destinations.push_back({FolderSource::Folder, value});
        else if (option == u"dest-tree")
            options.destinations.push_back({FolderSource::Tree, value});
        else if (option == u"dest-list")
            options.destinations.push_back({FolderSource::ListFile, value});
        else if (option == u"exclude" || option == u"only") {
            if (value.isEmpty())
                throw UsageError(QStringLiteral("--%1 needs a text").arg(option));
            options.filters.push_back({option == u"only", value});
        } else if (option == u"count") {
            bool number = false;
            const double count = value.trimmed().toDouble(&number);
            if (!number || !std::isfinite(count) || count < 1)
                throw UsageError(QStringLiteral("-n: the number of files must be a number of at least 1, not \"%1\"").arg(value));
            options.count = count;
        } else if (option == u"seed") {
            bool number = false;
            options.seed = value.trimmed().toUInt(&number);
            if (!number)
                throw UsageError(QStringLiteral("--seed: a seed is a whole number from 0 to 4294967295, not \"%1\"").arg(value));
        } else if (option == u"max-size") {
            options.maxBytes = ParseSize(value);
            if (!options.maxBytes)
                throw UsageError(QStringLiteral("--max-size: \"%1\" is no size; for example 700M or 14.5G").arg(value));
        }
    }
    options.repeats = parser.isSet(QStringLiteral("repeats"));
    options.skipExisting = parser.isSet(QStringLiteral("skip-existing"));
    options.dryRun = parser.isSet(QStringLiteral("dry-run"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.savePlan = parser.value(QStringLiteral("save-plan"));
    options.plan = parser.value(QStringLiteral("plan"));

    if (!options.plan.isEmpty()) {
        if (!options.sources.empty() || !options.destinations.empty())
            throw UsageError(QStringLiteral("--plan carries out a saved plan; it takes no sources or destinations"));
        if (options.count || options.seed || options.maxBytes || options.repeats)
            throw UsageError(QStringLiteral("--plan carries out a saved plan; -n, -r, --seed and --max-size cannot change it"));
    } else if (options.repeats && options.maxBytes && !options.count) {
        throw UsageError(QStringLiteral("with -r, --max-size needs -n: the same files could be drawn without end"));
    } else if (options.sources.empty() || options.destinations.empty()) {
        throw UsageError(QStringLiteral("give at least one source (-s, --source-tree, --source-list) and one "
                                        "destination (-d, --dest-tree, --dest-list), or a saved plan (--plan)"));
    }
    return options;
}

QString AbsolutePath(const QString& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(ToFsPath(path), error);
    return error ? path : FromFsName(absolute.native());
}

// Adds the rows of the folder options, as the window's add commands do.
void AddFolders(const std::vector<FolderOption>& folders, RowListModel& list, ErrorReport& report, Dialogs& dialogs)
{
    for (const FolderOption& folder : folders) {
        const QString path = AbsolutePath(folder.value);
        report.Step(100, [&] {
            switch (folder.kind) {
            case FolderSource::Folder:
                // A file is its own source, as a dropped file is.
                list.Append(IsExistingFile(path) ? path : WithClosingSeparator(CollapseBackslashes(path)));
                break;
            case FolderSource::Tree: {
                const QString top = WithClosingSeparator(CollapseBackslashes(path));
                list.Append(top);
                list.Append(FoldersBelow(top, dialogs, true));
                break;
            }
            case FolderSource::ListFile:
                if (IsBadPath(path))
                    dialogs.MsgBox(BadCharactersMessage(path));
                else
                    LoadListFromFile(list, path, dialogs);
                break;
            }
        });
    }
}

// The number of files when none is given: the window's stored one, read
// with its rules; a zero or a text counts as 1.
double StoredNumberOfFiles()
{
    const double stored = NumericValue(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")));
    return stored == 0.0 ? 1.0 : stored;
}

CopyPlan DrawPlan(const Options& options, ErrorReport& report, Dialogs& dialogs)
{
    ProcessRandom random;
    std::uint32_t seed = 0;
    if (options.seed) {
        seed = *options.seed;
    } else {
        seed = std::random_device {}();
        PrintMessage(QStringLiteral("seed %1").arg(seed)); // so that any run can be repeated
    }
    random.Seed(seed);
    RowListModel sources(QStringLiteral("1. Source Folder(s)"));
    RowListModel destinations(QStringLiteral("2. Destination Folder(s):"));
    AddFolders(options.sources, sources, report, dialogs);
    AddFolders(options.destinations, destinations, report, dialogs);

    CopyPlan rows;
    report.Step(102, [&] {
        SelectionRequest request;
        request.sourceRows = sources.Rows();
        request.allowRepeats = options.repeats;
        request.namesInByteOrder = true;
        request.maxBytes = options.maxBytes;
        // With a size budget and no number, the budget alone says how many.
        if (options.count)
            request.numberOfFiles = *options.count;
        else if (options.maxBytes)
            request.numberOfFiles = std::numeric_limits<double>::infinity();
        else
            request.numberOfFiles = StoredNumberOfFiles();
        rows = CorrelateListviews(request, destinations.Rows(), random, dialogs);
    });
    return rows;
}

// The rows of a saved plan. A line that is no row is named with its
// number and counted as failed.
CopyPlan ReadPlan(const QString& path, int& failedLines, ErrorReport& report)
{
    CopyPlan rows;
    report.Step(104, [&] {
        QFile file;
        OpenForReading(file, path);
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype number = 0; number < lines.size(); ++number) {
            QByteArray line = lines[number];
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.trimmed().isEmpty())
                continue;
            const std::optional<CopyRow> row = RowOfPlanLine(line);
            if (!row) {
                PrintMessage(QStringLiteral("%1:%2: the row does not say what is copied where: %3")
                                 .arg(path)
                                 .arg(number + 1)
                                 .arg(QString::fromUtf8(line)));
                ++failedLines;
                continue;
            }
            rows.Append(*row);
        }
    });
    return rows;
}

QByteArray PlanText(const QList<CopyRow>& rows)
{
    QByteArray text;
    for (const CopyRow& row : rows)
        text += PlanLine(row) + '\n';
    return text;
}

bool SavePlan(const QString& path, const QList<CopyRow>& rows)
{
    std::ofstream file(ToFsPath(path), std::ios::binary | std::ios::trunc);
    const QByteArray text = PlanText(rows);
    file.write(text.constData(), text.size());
    file.close();
    if (!file) {
        PrintMessage(QStringLiteral("the plan could not be written to %1").arg(path));
        return false;
    }
    return true;
}

// Leaves out the rows whose destination already holds the source's copy.
int LeaveOutExisting(RowListModel& copyList)
{
    std::vector<int> existing;
    for (int row = 0; row < copyList.Count(); ++row) {
        const CopyRow& copy = copyList.CopyRowAt(row);
        if (IsAlreadyCopied(copy.source, copy.Destination()))
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

int Run(const Options& options)
{
    HandleInterrupts();
    ConsoleDialogs dialogs(options.quiet);
    ErrorReport report(dialogs, ProcedureLabels::CommandLineRun());
    int failedLines = 0;
    const CopyPlan planned = options.plan.isEmpty() ? DrawPlan(options, report, dialogs)
                                                       : ReadPlan(AbsolutePath(options.plan), failedLines, report);
    RowListModel copyList(QStringLiteral("Random Copy List"));
    copyList.SetRows(planned);
    SummaryText summary;
    for (const Filter& filter : options.filters) {
        if (filter.keepMatching)
            RemoveItemsWithout(copyList, filter.text, summary, dialogs);
        else
            RemoveItemsWith(copyList, filter.text, summary, dialogs);
    }
    if (copyList.IsEmpty() && failedLines == 0) {
        dialogs.MsgBox(kNoFilesAddedMessage);
        return kFailedStatus;
    }
    if (options.maxBytes && !options.quiet)
        report.Step(106, [&] { PrintPlanSize(copyList.CopyRows()); });
    if (!options.savePlan.isEmpty() && !SavePlan(AbsolutePath(options.savePlan), copyList.CopyRows()))
        return kFailedStatus;
    const int skipped = options.skipExisting ? LeaveOutExisting(copyList) : 0;
    if (options.dryRun) {
        if (!PrintOut(PlanText(copyList.CopyRows()))) {
            PrintMessage(QStringLiteral("the rows could not be written to standard output"));
            return kFailedStatus;
        }
        return failedLines > 0 || dialogs.FailuresReported() ? kFailedStatus : 0;
    }

    ConsoleProgress progress(copyList.CopyRows(), !options.quiet);
    SetCopying(true);
    const CopyRunSummary run = RunCopyList(copyList, progress, report);
    SetCopying(false);
    SystemFlusher flusher;
    const QStringList flushFailures =
        FlushToDevices(run.written, flusher, [&](const FlushGroup& group) { progress.Flushing(group.folder); });
    progress.Finish();
    if (run.sameFiles)
        dialogs.MsgBox(kSameFilesMessage);
    if (run.failed > 0)
        dialogs.MsgBox(FailedRowsMessage(run));
    for (const QString& failure : flushFailures)
        dialogs.MsgBox(failure);
    const int failed = run.failed + failedLines;
    if (!options.quiet)
        PrintMessage(QStringLiteral("%1 copied, %2 skipped, %3 failed").arg(run.copied).arg(skipped).arg(failed));
    const bool allWell = failed == 0 && !run.sameFiles && flushFailures.isEmpty() && !dialogs.FailuresReported();
    return allWell ? 0 : kFailedStatus;
}

// Qt's own options of one dash belong to the window; the parser would read
// "-platform" as eight unknown letters.
QString UnknownOptionText(const QCommandLineParser& parser, const QStringList& arguments)
{
    static const QStringList windowOptions = {"-platform", "-session", "-style", "-stylesheet", "-display",
                                              "-geometry", "-reverse", "-qwindowgeometry", "-qwindowtitle"};
    for (const QString& argument : arguments.mid(1)) {
        if (windowOptions.contains(argument))
            return QStringLiteral("%1 is an option of the window; with options of the command line the window "
                                  "does not open").arg(argument);
    }
    return parser.errorText();
}

void AddOptions(QCommandLineParser& parser)
{
    for (const OptionRow& row : OptionTable()) {
        QCommandLineOption option(row.names, QString::fromUtf8(row.description));
        if (row.valueName != nullptr)
            option.setValueName(QString::fromUtf8(row.valueName));
        parser.addOption(option);
    }
}

#ifdef Q_OS_WIN
// A program with a window has no console of its own: help and messages go
// to the console it was started from.
void UseParentConsole()
{
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
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

bool IsCommandLineRun(const QStringList& arguments)
{
    QStringList longNames = {QStringLiteral("help"), QStringLiteral("help-all"), QStringLiteral("version")};
    QString shortNames = QStringLiteral("hv?");
    for (const OptionRow& option : OptionTable()) {
        for (const QString& name : option.names) {
            if (name.size() == 1)
                shortNames += name;
            else
                longNames += name;
        }
    }
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String("--"))) {
            if (longNames.contains(argument.mid(2).section(u'=', 0, 0)))
                return true;
        } else if (argument.size() >= 2 && argument.startsWith(u'-')
                   && std::all_of(argument.begin() + 1, argument.end(),
                                  [&](QChar letter) { return shortNames.contains(letter); })) {
            return true;
        }
    }
    return false;
}

int RunCommandLine(const QStringList& arguments)
{
#ifdef Q_OS_WIN
    UseParentConsole();
#endif
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies a random draw of files from the source folders into every destination folder."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    AddOptions(parser);
    try {
        if (!parser.parse(arguments))
            throw UsageError(UnknownOptionText(parser, arguments));
        if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
            QString text = parser.helpText();
            text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: quorvex"));
            PrintOut(text.toUtf8() + kHelpEpilogue);
            return 0;
        }
        if (parser.isSet(version)) {
            PrintOut("quorvex " QUORVEX_VERSION "\n");
            return 0;
        }
        if (!parser.positionalArguments().isEmpty())
            throw UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().front()));
        return Run(OptionsOf(parser));
    } catch (const UsageError& error) {
        PrintMessage(error.text);
        PrintMessage(QStringLiteral("try 'quorvex --help'"));
        return kUsageStatus;
    }
}
