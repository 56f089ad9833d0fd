#include "commandline/Options.h"

#include "core/PathHelpers.h"
#include "core/ShellQuoting.h"
#include "device/ProfileLookup.h"
#include "refill/RefillOptions.h"
#include "schedule/Schedule.h"

#include <QCommandLineParser>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

// One option as the parser and --help know it.
struct OptionRow {
    QStringList names; // the short name first, where there is one
    const char* valueName; // nullptr for a switch
    const char* description;
};

// The command line's own options, beside the refill's.
struct OwnOption {
    const char* longName;
    const char* shortName;
    const char* valueName;
};

const OwnOption kOwnOptions[] = {
    {"seed", nullptr, "N"},           {"save-plan", nullptr, "FILE"}, {"plan", nullptr, "FILE"},
    {"schedule", nullptr, "HH:MM"},   {"schedule-name", nullptr, "NAME"}, {"unschedule", nullptr, nullptr},
    {"show-schedule", nullptr, nullptr}, {"log", nullptr, nullptr},   {"verbose", "v", nullptr},
    {"quiet", "q", nullptr},          {"version", "V", nullptr},    {"list-devices", nullptr, nullptr},
};

// Every option's help, in the order --help lists them.
struct Help {
    const char* name;
    const char* description;
};

const Help kHelp[] = {
    {"source", "Draw files from the folder DIR (or the file DIR)."},
    {"source-tree", "Draw files from DIR and every folder below it."},
    {"source-list", "Draw files from the folders listed in FILE, one per line (- reads standard input)."},
    {"dest", "Copy the draw into the folder DIR."},
    {"dest-tree", "Copy the draw into DIR and every folder below it."},
    {"dest-list", "Copy the draw into the folders listed in FILE (- reads standard input)."},
    {"count", "Files per destination, a whole number (default: the window's stored number, or 100)."},
    {"repeats", "Allow the same file to be drawn more than once."},
    {"balance", "Give every source folder the same share of the draw, whatever its size."},
    {"cycle", "Draw only files that earlier --cycle runs over the same sources and filters have not drawn; once "
              "all have been, a new cycle starts."},
    {"cycle-name", "With --cycle: keep this cycle apart from others over the same sources."},
    {"exclude", "Draw from no file that matches PATTERN."},
    {"only", "Draw only from files that match PATTERN."},
    {"seed", "Draw with the seed N: the same seed and trees give the same plan."},
    {"max-size", "Put at most SIZE into each destination (K, M, G, T: powers of 1024)."},
    {"fill", "Draw as much as fits on every destination's file system, keeping 1 MiB free (with -n or --max-size "
             "as a cap)."},
    {"refresh", "First remove the copies the last --refresh run made in each destination, where unchanged since; "
                "the user's own files stay, and no existing name is replaced."},
    {"whole-folders", "Draw folders rather than files: each drawn folder (an album) is copied whole, into a folder "
                      "of its name (its path below a --source-tree); -n counts folders."},
    {"numbered", "Start each copy's name with its place in the draw (001 Song.mp3; with --whole-folders each "
                 "folder's: 01 Album), so that players that sort by name play the draw's order."},
    {"playlist", "Write the playlist NAME (.m3u8 or .m3u) into each destination, naming the copies that arrived in "
                 "the draw's order."},
    {"ascii-names", "Write every name on the destinations in plain ASCII, for players that show nothing else: é is "
                    "e, ß is ss, anything else beyond ASCII _."},
    {"device", "Fit every file to the device profile NAME (--list-devices lists them) or the profile FILE: what "
               "the device does not play is converted through ffmpeg, and a frame's photos are made upright JPEGs "
               "fitted to its screen (default: a destination's own .quorvex-device.ini, else copied as it is)."},
    {"frame", "Fit photos to a screen of WxH pixels (such as 1024x600), whatever the device's profile says."},
    {"ffmpeg", "Convert with the ffmpeg at PATH (default: beside the program, then on PATH)."},
    {"cache-size", "Keep at most SIZE of converted songs and fitted photos for the nights to come (default: 4G)."},
    {"prefer-rated", "Draw higher-rated files more often, as their tags rate them: each half star more weighs "
                     "about 1.27 times as much, so five stars come about 6.9 times as often as one."},
    {"min-rating", "Draw only files rated STARS or more (0.5 to 5, in halves)."},
    {"unrated-as", "With --prefer-rated or --min-rating, count unrated files as rated STARS (default: 3)."},
    {"index-only", "Bring the library index of the sources' ratings and lengths up to date, and draw nothing."},
    {"list-devices", "Print every device profile: its name, where it comes from, and what it does."},
    {"verify", "Once flushed, read every copy back from its device, not from the cache, and compare it with its "
               "source; a copy that differs fails its row and is removed."},
    {"wait", "When another run is writing into a destination folder, wait for it rather than leave that folder "
             "alone."},
    {"skip-existing", "Leave out every row whose destination name already exists."},
    {"keep-existing", "Replace nothing: drawn files take free numbered names beside existing ones."},
    {"dry-run", "Print the plan's rows and copy nothing."},
    {"save-plan", "Write the plan's rows to FILE, then carry them out (unless --dry-run)."},
    {"plan", "Carry out a saved plan (- reads standard input)."},
    {"schedule", "Register this command with the system's scheduler to run quietly every day at HH:MM (instead of "
                 "running it now), replacing the schedule of its name."},
    {"schedule-name", "The schedule's name for --schedule, --unschedule and --show-schedule: ASCII letters, "
                      "digits, - and _ (default: Refill)."},
    {"unschedule", "Remove the schedule (named by --schedule-name) from the system's scheduler."},
    {"show-schedule", "Print every schedule (or the one --schedule-name names) and its last run."},
    {"log", "Append the run's result, and what failed, to the refill log in the state folder."},
    {"verbose", "Print each copied file's destination on standard output."},
    {"quiet", "Print nothing unless something failed."},
    {"version", "Show the version."},
};

OptionRow RowFor(const Help& help)
{
    const char* shortName = nullptr;
    const char* valueName = nullptr;
    if (const RefillOption* refill = RefillOptionNamed(QLatin1String(help.name))) {
        shortName = refill->shortName;
        valueName = refill->valueName;
    } else {
        for (const OwnOption& own : kOwnOptions) {
            if (qstrcmp(own.longName, help.name) == 0) {
                shortName = own.shortName;
                valueName = own.valueName;
            }
        }
    }
    QStringList names;
    if (shortName)
        names << QLatin1String(shortName);
    names << QLatin1String(help.name);
    return {names, valueName, help.description};
}

const std::vector<OptionRow>& OptionTable()
{
    static const std::vector<OptionRow> rows = [] {
        std::vector<OptionRow> all;
        for (const Help& help : kHelp)
            all.push_back(RowFor(help));
        return all;
    }();
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

// The profile --device names, by name or file; read before anything is
// drawn, as the run would copy nothing without it, and handed to the run.
DeviceProfile DeviceProfileArgument(const QString& value)
{
    std::variant<DeviceProfile, ProfileError> profile = ProfileNamed(value);
    if (const ProfileError* error = std::get_if<ProfileError>(&profile)) {
        if (error->file.isEmpty())
            throw UsageError(QStringLiteral("--device: %1; --list-devices lists them").arg(error->reason));
        throw UsageError(QStringLiteral("--device: %1").arg(error->Text()));
    }
    return std::get<DeviceProfile>(std::move(profile));
}

QString FrameArgument(const QString& value)
{
    if (!FrameSizeOf(value))
        throw UsageError(QStringLiteral("--frame: \"%1\" is no screen's size; give WIDTHxHEIGHT in pixels, such as 1024x600")
                             .arg(value));
    return value;
}

// Checks a refill option's value and fills its setting.
void TakeValue(const RefillOption& option, const QString& value, RefillSettings& settings)
{
    using Fills = RefillOption::Fills;
    const QString name = QLatin1String(option.longName);
    switch (option.fills) {
    case Fills::Folder:
        // Taken as a path, an empty name would be the folder the run starts in.
        if (value.isEmpty())
            throw UsageError(QStringLiteral("--%1: an empty name names no folder or file").arg(name));
        Fill(option, settings, value);
        return;
    case Fills::Filter:
        if (value.isEmpty())
            throw UsageError(QStringLiteral("--%1 needs a pattern").arg(name));
        Fill(option, settings, value);
        return;
    case Fills::Count: Fill(option, settings, value, WholeCount(value)); return;
    case Fills::Size:
        if (const std::optional<std::uint64_t> size = ParseSize(value)) {
            Fill(option, settings, value, size);
            return;
        }
        throw UsageError(QStringLiteral("--%1: \"%2\" is no size; for example 700M or 14.5G").arg(name, value));
    case Fills::Stars:
        if (const std::optional<std::uint64_t> halves = ParseStars(value)) {
            Fill(option, settings, value, halves);
            return;
        }
        throw UsageError(QStringLiteral("--%1: \"%2\" is no rating; give stars from 0.5 to 5 in halves, such as 4 or 3.5")
                             .arg(name, value));
    case Fills::Name:
        if (option.name == &RefillSettings::playlist)
            Fill(option, settings, PlaylistName(value));
        else if (option.name == &RefillSettings::device && !value.isEmpty()) {
            settings.deviceProfile = DeviceProfileArgument(value);
            Fill(option, settings, value);
        }
        else if (option.name == &RefillSettings::frame)
            Fill(option, settings, FrameArgument(value));
        else if (value.isEmpty())
            throw UsageError(QStringLiteral("--%1 needs a name").arg(name));
        else
            Fill(option, settings, value);
        return;
    case Fills::Switch: break;
    }
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
        const Uncarried uncarried = UncarriedIn(path);
        if (uncarried.lineBreak)
            throw UsageError(QStringLiteral("--schedule: \"%1\" holds a line break, which no scheduler's command "
                                            "can carry").arg(path));
        if (uncarried.variable)
            throw UsageError(QStringLiteral("--schedule: Task Scheduler would read the % in \"%1\" as a variable; "
                                            "name the folder in a list file (--source-list, --dest-list)").arg(path));
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
    } else if (refill.indexOnly) {
        if (refill.sources.empty())
            throw UsageError(QStringLiteral("--index-only indexes the sources: give at least one (-s, --source-tree, "
                                            "--source-list)"));
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
    for (const auto& [option, value] : ValuesInOrder(parser)) {
        if (const RefillOption* refill = RefillOptionNamed(option); refill && refill->valueName) {
            TakeValue(*refill, value, options.refill);
        } else if (option == u"seed") {
            bool number = false;
            options.seed = value.trimmed().toUInt(&number);
            if (!number)
                throw UsageError(QStringLiteral("--seed: a seed is a whole number from 0 to 4294967295, not \"%1\"").arg(value));
        } else if (const OptionRow* row = RowOf(option); value.isEmpty() && row && row->valueName) {
            // Taken as not given, an empty --schedule would run now, and an
            // empty --plan would draw afresh.
            throw UsageError(QStringLiteral("--%1: the value is empty; give %2").arg(option, QString::fromUtf8(row->valueName)));
        }
    }
    for (const RefillOption& refill : RefillOptions()) {
        if (!refill.valueName && parser.isSet(QLatin1String(refill.longName)))
            Fill(refill, options.refill);
    }
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
