#include "commandline/Options.h"

#include "core/PathHelpers.h"
#include "schedule/Schedule.h"

#include <QCommandLineParser>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

// One row of the option table.
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
        {{"source-list"}, "FILE", "Draw files from the folders listed in FILE, one per line (- reads standard input)."},
        {{"d", "dest"}, "DIR", "Copy the draw into the folder DIR."},
        {{"dest-tree"}, "DIR", "Copy the draw into DIR and every folder below it."},
        {{"dest-list"}, "FILE", "Copy the draw into the folders listed in FILE (- reads standard input)."},
        {{"n", "count"}, "N", "Files per destination, a whole number (default: the window's stored number, or 100)."},
        {{"r", "repeats"}, nullptr, "Allow the same file to be drawn more than once."},
        {{"balance"}, nullptr, "Give every source folder the same share of the draw, whatever its size."},
        {{"cycle"}, nullptr, "Draw only files that earlier --cycle runs over the same sources and filters have not "
                             "drawn; once all have been, a new cycle starts."},
        {{"cycle-name"}, "NAME", "With --cycle: keep this cycle apart from others over the same sources."},
        {{"exclude"}, "PATTERN", "Draw from no file that matches PATTERN."},
        {{"only"}, "PATTERN", "Draw only from files that match PATTERN."},
        {{"seed"}, "N", "Draw with the seed N: the same seed and trees give the same plan."},
        {{"max-size"}, "SIZE", "Put at most SIZE into each destination (K, M, G, T: powers of 1024)."},
        {{"fill"}, nullptr, "Draw as much as fits on every destination's file system, keeping 1 MiB free "
                            "(with -n or --max-size as a cap)."},
        {{"refresh"}, nullptr, "First remove the copies the last --refresh run made in each destination, where "
                               "unchanged since; the user's own files stay, and no existing name is replaced."},
        {{"whole-folders"}, nullptr, "Draw folders rather than files: each drawn folder (an album) is copied "
                                     "whole, into a folder of its name (its path below a --source-tree); -n "
                                     "counts folders."},
        {{"numbered"}, nullptr, "Start each copy's name with its place in the draw (001 Song.mp3; with "
                                "--whole-folders each folder's: 01 Album), so that players that sort by name "
                                "play the draw's order."},
        {{"playlist"}, "NAME", "Write the playlist NAME (.m3u8 or .m3u) into each destination, naming the copies "
                               "that arrived in the draw's order."},
        {{"ascii-names"}, nullptr, "Write every name on the destinations in plain ASCII, for players that show "
                                   "nothing else: é is e, ß is ss, anything else beyond ASCII _."},
        {{"verify"}, nullptr, "Once flushed, read every copy back from its device, not from the cache, and "
                              "compare it with its source; a copy that differs fails its row and is removed."},
        {{"wait"}, nullptr, "When another run is writing into a destination folder, wait for it rather than "
                            "leave that folder alone."},
        {{"skip-existing"}, nullptr, "Leave out every row whose destination name already exists."},
        {{"keep-existing"}, nullptr, "Replace nothing: drawn files take free numbered names beside existing ones."},
        {{"dry-run"}, nullptr, "Print the plan's rows and copy nothing."},
        {{"save-plan"}, "FILE", "Write the plan's rows to FILE, then carry them out (unless --dry-run)."},
        {{"plan"}, "FILE", "Carry out a saved plan (- reads standard input)."},
        {{"schedule"}, "HH:MM", "Register this command with the system's scheduler to run quietly every day at "
                                "HH:MM (instead of running it now), replacing the schedule of its name."},
        {{"schedule-name"}, "NAME", "The schedule's name for --schedule, --unschedule and --show-schedule: ASCII "
                                    "letters, digits, - and _ (default: Refill)."},
        {{"unschedule"}, nullptr, "Remove the schedule (named by --schedule-name) from the system's scheduler."},
        {{"show-schedule"}, nullptr, "Print every schedule (or the one --schedule-name names) and its last run."},
        {{"log"}, nullptr, "Append the run's result, and what failed, to the refill log in the state folder."},
        {{"v", "verbose"}, nullptr, "Print each copied file's destination on standard output."},
        {{"q", "quiet"}, nullptr, "Print nothing unless something failed."},
        {{"V", "version"}, nullptr, "Show the version."},
    };
    return rows;
}

// Qt's own options, which the window takes (QGuiApplication and
// QApplication read them, with one dash or two); with any other option the
// program runs without a window.
struct WindowOption {
    const char* name;
    bool takesValue;
};

const WindowOption kWindowOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qmljsdebugger", true}, {"qwindowgeometry", true}, {"qwindowicon", true},  {"qwindowtitle", true},
    {"session", true},    {"style", true},              {"stylesheet", true},    {"display", true},
    {"geometry", true},   {"reverse", false},           {"widgetcount", false},  {"nograb", false},
    {"dograb", false},    {"sync", false},
};

// An option's name as typed: without its dashes and any "=value".
QString OptionName(const QString& argument)
{
    return argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(u'=', 0, 0);
}

// The window option an argument names, if any.
const WindowOption* WindowOptionOf(const QString& argument)
{
    if (!argument.startsWith(u'-'))
        return nullptr;
    const QString name = OptionName(argument);
    for (const WindowOption& option : kWindowOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

const OptionRow* RowOf(const QString& name)
{
    for (const OptionRow& option : OptionTable()) {
        if (option.names.contains(name))
            return &option;
    }
    return nullptr;
}

QString Canonical(const QString& name)
{
    const OptionRow* row = RowOf(name);
    return row ? row->names.back() : name;
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

std::uint64_t WholeCount(const QString& value)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*\\+?(\\d{1,15})\\s*$"));
    const QRegularExpressionMatch match = digits.match(value);
    const std::uint64_t count = match.hasMatch() ? match.captured(1).toULongLong() : 0;
    if (count < 1)
        throw UsageError(QStringLiteral("-n: the number of files is a whole number of at least 1, not \"%1\"").arg(value));
    return count;
}

QString PlaylistName(const QString& value)
{
    if (!IsPlaylistName(value))
        throw UsageError(QStringLiteral("--playlist: \"%1\" is no playlist's name; give a name such as mix.m3u8 "
                                        "or mix.m3u").arg(value));
    return value;
}

QString ClashText(SettingsClash clash)
{
    switch (clash) {
    case SettingsClash::WholeFoldersWithRepeats:
        return QStringLiteral("--whole-folders draws each folder once, whatever its size; it takes no -r or --balance");
    case SettingsClash::WholeFoldersWithDestTree:
        return QStringLiteral("--whole-folders makes folders in the destinations; it takes no --dest-tree");
    case SettingsClash::CycleWithRepeats:
        return QStringLiteral("--cycle draws every file once before any comes back; it takes no -r");
    case SettingsClash::BudgetWithRepeats:
        return QStringLiteral("with -r, --max-size and --fill need -n: the same files could be drawn without end");
    case SettingsClash::None: break;
    }
    return {};
}

// A schedule's name and time, and a command that can run unattended.
void CheckSchedule(const Options& options)
{
    if (!IsScheduleName(options.scheduleName))
        throw UsageError(QStringLiteral("--schedule-name: \"%1\" is no schedule name; use ASCII letters, digits, - "
                                        "and _").arg(options.scheduleName));
    if ((!options.scheduleAt.isEmpty()) + options.unschedule + options.showSchedule > 1)
        throw UsageError(QStringLiteral("--schedule, --unschedule and --show-schedule exclude each other"));
    if (options.scheduleAt.isEmpty())
        return;
    if (!ParseTimeOfDay(options.scheduleAt))
        throw UsageError(QStringLiteral("--schedule: \"%1\" is no time of day; give HH:MM, from 00:00 to 23:59")
                             .arg(options.scheduleAt));
    const RefillSettings& refill = options.refill;
    QStringList paths {options.plan, options.savePlan};
    for (const auto* folders : {&refill.sources, &refill.destinations}) {
        for (const FolderOption& folder : *folders) {
            if (folder.kind == FolderSource::ListFile && folder.value == u"-")
                throw UsageError(QStringLiteral("--schedule: a list read from standard input (-) cannot be "
                                                "scheduled; name a file"));
            paths << folder.value;
        }
    }
    if (options.plan == u"-")
        throw UsageError(QStringLiteral("--schedule: a plan read from standard input (-) cannot be scheduled; name a file"));
    for (const QString& path : paths + QStringList {refill.playlist}) {
        if (path.contains(u'\n') || path.contains(u'\r'))
            throw UsageError(QStringLiteral("--schedule: \"%1\" holds a line break, which no scheduler's command "
                                            "can carry").arg(path));
#ifdef Q_OS_WIN
        if (path.contains(u'%'))
            throw UsageError(QStringLiteral("--schedule: Task Scheduler would read the % in \"%1\" as a variable; "
                                            "name the folder in a list file (--source-list, --dest-list)").arg(path));
#endif
    }
}

void CheckCombinations(const Options& options)
{
    CheckSchedule(options);
    if (options.unschedule || options.showSchedule)
        return;
    const RefillSettings& refill = options.refill;
    if (!refill.cycleName.isEmpty() && !refill.cycle)
        throw UsageError(QStringLiteral("--cycle-name names a cycle: give --cycle too"));
    if (refill.skipExisting && refill.keepExisting)
        throw UsageError(QStringLiteral("--skip-existing and --keep-existing exclude each other"));
    if (options.quiet && options.verbose)
        throw UsageError(QStringLiteral("-q and -v exclude each other"));
    if (!options.plan.isEmpty()) {
        if (!refill.sources.empty() || !refill.destinations.empty())
            throw UsageError(QStringLiteral("--plan carries out a saved plan; it takes no sources or destinations"));
        if (refill.count || options.seed || refill.maxBytes || refill.repeats || refill.keepExisting || refill.refresh
            || refill.fill || refill.balance || refill.cycle || refill.wholeFolders || refill.numbered)
            throw UsageError(QStringLiteral("--plan carries out a saved plan; -n, -r, --seed, --max-size, "
                                            "--keep-existing, --refresh, --fill, --balance, --cycle, "
                                            "--whole-folders and --numbered cannot change it"));
    } else if (const SettingsClash clash = ClashOf(refill); clash != SettingsClash::None) {
        throw UsageError(ClashText(clash));
    } else if (refill.sources.empty() || refill.destinations.empty()) {
        throw UsageError(QStringLiteral("give at least one source (-s, --source-tree, --source-list) and one "
                                        "destination (-d, --dest-tree, --dest-list), or a saved plan (--plan)"));
    }
    const auto fromStandardInput = [](const std::vector<FolderOption>& folders) {
        return std::count_if(folders.begin(), folders.end(), [](const FolderOption& folder) {
            return folder.kind == FolderSource::ListFile && folder.value == u"-";
        });
    };
    if (fromStandardInput(refill.sources) + fromStandardInput(refill.destinations) + (options.plan == u"-") > 1)
        throw UsageError(QStringLiteral("standard input (-) can be read only once"));
}

} // namespace

const char* const kHelpEpilogue = R"(
PATTERN: with *, ? or [ it is a glob on the file's name (--only '*.mp3');
otherwise a part of the file's path below its source folder. Letter case is
ignored. Filters thin the files before the draw.
Sources, destinations and filters are taken in the order given.
Without -n, --max-size and --fill draw until nothing more fits (with -r,
give -n). --fill counts each file in whole clusters and, on FAT, its name's
folder entries, after the --refresh removals; a file system holding several
destinations takes each file once for each.
--cycle keeps its state in $XDG_STATE_HOME/quorvex (~/.local/state/quorvex).
--verify reads the copies from the device, not from the cache, and says when
a device may not hold what it claims.
--whole-folders takes no -r, --balance or --dest-tree. --numbered names are
the way to a fixed order on FAT, whose folders keep no order of their own.
A nightly album mix for the car, in the draw's order, with a playlist (one
crontab line):
30 2 * * * quorvex -q --source-tree /srv/music -d /media/car/MUSIC --whole-folders --numbered --playlist mix.m3u8 --refresh --cycle --fill
or the same options with --schedule 02:30 instead of -q, which registers it
with the user's systemd timers (else the crontab; Task Scheduler on
Windows) and logs each run to refill.log in the state folder, for
--show-schedule to tell.
A run locks each destination folder while it plans and writes there; a
folder another run holds is left alone (or, with --wait, waited for).
Exit status: 0 all done, 1 some rows failed, 2 usage error (nothing done),
130 interrupted.
)";


std::vector<QStringList> OptionsTakingAValue()
{
    std::vector<QStringList> names;
    for (const OptionRow& row : OptionTable()) {
        if (row.valueName != nullptr)
            names.push_back(row.names);
    }
    return names;
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

Options OptionsOf(const QCommandLineParser& parser, const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (WindowOptionOf(argument))
            throw UsageError(QStringLiteral("%1 is an option of the window; with options of the command line the "
                                            "window does not open").arg(argument));
    }
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().front()));
    Options options;
    static const QStringList folderOptions {QStringLiteral("source"), QStringLiteral("source-tree"),
                                            QStringLiteral("source-list"), QStringLiteral("dest"),
                                            QStringLiteral("dest-tree"), QStringLiteral("dest-list")};
    for (const auto& [option, value] : ValuesInOrder(parser)) {
        // Taken as a path, an empty name would be the folder the run starts in.
        if (folderOptions.contains(option) && value.isEmpty())
            throw UsageError(QStringLiteral("--%1: an empty name names no folder or file").arg(option));
        if (option == u"source")
            options.refill.sources.push_back({FolderSource::Folder, value});
        else if (option == u"source-tree")
            options.refill.sources.push_back({FolderSource::Tree, value});
        else if (option == u"source-list")
            options.refill.sources.push_back({FolderSource::ListFile, value});
        else if (option == u"dest")
            options.refill.destinations.push_back({FolderSource::Folder, value});
        else if (option == u"dest-tree")
            options.refill.destinations.push_back({FolderSource::Tree, value});
        else if (option == u"dest-list")
            options.refill.destinations.push_back({FolderSource::ListFile, value});
        else if (option == u"exclude" || option == u"only") {
            if (value.isEmpty())
                throw UsageError(QStringLiteral("--%1 needs a pattern").arg(option));
            options.refill.filters.push_back({option == u"only", value});
        } else if (option == u"count") {
            options.refill.count = WholeCount(value);
        } else if (option == u"seed") {
            bool number = false;
            options.seed = value.trimmed().toUInt(&number);
            if (!number)
                throw UsageError(QStringLiteral("--seed: a seed is a whole number from 0 to 4294967295, not \"%1\"").arg(value));
        } else if (option == u"cycle-name") {
            if (value.isEmpty())
                throw UsageError(QStringLiteral("--cycle-name needs a name"));
            options.refill.cycleName = value;
        } else if (option == u"playlist") {
            options.refill.playlist = PlaylistName(value);
        } else if (option == u"max-size") {
            options.refill.maxBytes = ParseSize(value);
            if (!options.refill.maxBytes)
                throw UsageError(QStringLiteral("--max-size: \"%1\" is no size; for example 700M or 14.5G").arg(value));
        } else if (const OptionRow* row = RowOf(option); value.isEmpty() && row && row->valueName) {
            // Taken as not given, an empty --schedule would run now, and an
            // empty --plan would draw afresh.
            throw UsageError(QStringLiteral("--%1: the value is empty; give %2").arg(option, QString::fromUtf8(row->valueName)));
        }
    }
    options.refill.repeats = parser.isSet(QStringLiteral("repeats"));
    options.refill.balance = parser.isSet(QStringLiteral("balance"));
    options.refill.cycle = parser.isSet(QStringLiteral("cycle"));
    options.refill.skipExisting = parser.isSet(QStringLiteral("skip-existing"));
    options.refill.keepExisting = parser.isSet(QStringLiteral("keep-existing"));
    options.refill.refresh = parser.isSet(QStringLiteral("refresh"));
    options.refill.fill = parser.isSet(QStringLiteral("fill"));
    options.refill.wait = parser.isSet(QStringLiteral("wait"));
    options.refill.wholeFolders = parser.isSet(QStringLiteral("whole-folders"));
    options.refill.numbered = parser.isSet(QStringLiteral("numbered"));
    options.refill.verify = parser.isSet(QStringLiteral("verify"));
    options.refill.asciiNames = parser.isSet(QStringLiteral("ascii-names"));
    options.refill.dryRun = parser.isSet(QStringLiteral("dry-run"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    options.savePlan = parser.value(QStringLiteral("save-plan"));
    options.plan = parser.value(QStringLiteral("plan"));
    options.scheduleAt = parser.value(QStringLiteral("schedule"));
    options.unschedule = parser.isSet(QStringLiteral("unschedule"));
    options.showSchedule = parser.isSet(QStringLiteral("show-schedule"));
    options.scheduleNamed = parser.isSet(QStringLiteral("schedule-name"));
    if (options.scheduleNamed)
        options.scheduleName = parser.value(QStringLiteral("schedule-name"));
    options.log = parser.isSet(QStringLiteral("log"));
    CheckCombinations(options);
    return options;
}

QString RefusedArgumentsText(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    for (const QString& argument : arguments.mid(1)) {
        if (WindowOptionOf(argument))
            return QStringLiteral("%1 is an option of the window; with options of the command line the window "
                                  "does not open").arg(argument);
        if (!argument.startsWith(u'-') || argument.size() < 2)
            continue;
        // "--name[=value]" is one option; "-abc" is the letters a, b and c.
        const QString name = OptionName(argument);
        const bool refused = argument.startsWith(QLatin1String("--")) ? unknown.contains(name)
                                    : std::any_of(name.begin(), name.end(),
                                                  [&](QChar letter) { return unknown.contains(QString(letter)); });
        if (refused)
            return QStringLiteral("unknown option %1").arg(argument);
    }
    return parser.errorText();
}

bool HasOptionOfItsOwn(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.size() < 2 || !argument.startsWith(u'-'))
            continue;
        if (const WindowOption* option = WindowOptionOf(argument)) {
            if (option->takesValue && !argument.contains(u'='))
                ++i;
            continue;
        }
        return true;
    }
    return false;
}
