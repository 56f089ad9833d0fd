#include "refill/RefillOptions.h"

namespace {

using Fills = RefillOption::Fills;

RefillOption Switch(const char* longName, bool RefillSettings::*flag, const char* shortName = nullptr)
{
    RefillOption option {longName, shortName, nullptr, Fills::Switch};
    option.flag = flag;
    return option;
}

RefillOption Folder(const char* longName, const char* shortName, const char* valueName,
                    std::vector<FolderOption> RefillSettings::*folders, FolderSource kind)
{
    RefillOption option {longName, shortName, valueName, Fills::Folder};
    option.folders = folders;
    option.folderKind = kind;
    return option;
}

RefillOption Filter(const char* longName, bool keepsMatching)
{
    RefillOption option {longName, nullptr, "PATTERN", Fills::Filter};
    option.keepsMatching = keepsMatching;
    return option;
}

RefillOption Number(const char* longName, const char* shortName, const char* valueName, Fills fills,
                    std::optional<std::uint64_t> RefillSettings::*number)
{
    RefillOption option {longName, shortName, valueName, fills};
    option.number = number;
    return option;
}

RefillOption Name(const char* longName, const char* valueName, QString RefillSettings::*name)
{
    RefillOption option {longName, nullptr, valueName, Fills::Name};
    option.name = name;
    return option;
}

} // namespace

const std::vector<RefillOption>& RefillOptions()
{
    // Past the folders and filters, in the order their arguments are written.
    static const std::vector<RefillOption> options = {
        Folder("source", "s", "DIR", &RefillSettings::sources, FolderSource::Folder),
        Folder("source-tree", nullptr, "DIR", &RefillSettings::sources, FolderSource::Tree),
        Folder("source-list", nullptr, "FILE", &RefillSettings::sources, FolderSource::ListFile),
        Folder("dest", "d", "DIR", &RefillSettings::destinations, FolderSource::Folder),
        Folder("dest-tree", nullptr, "DIR", &RefillSettings::destinations, FolderSource::Tree),
        Folder("dest-list", nullptr, "FILE", &RefillSettings::destinations, FolderSource::ListFile),
        Filter("exclude", false),
        Filter("only", true),
        Number("count", "n", "N", Fills::Count, &RefillSettings::count),
        Switch("repeats", &RefillSettings::repeats, "r"),
        Switch("fill", &RefillSettings::fill),
        Number("max-size", nullptr, "SIZE", Fills::Size, &RefillSettings::maxBytes),
        Switch("whole-folders", &RefillSettings::wholeFolders),
        Switch("cycle", &RefillSettings::cycle),
        Name("cycle-name", "NAME", &RefillSettings::cycleName),
        Switch("balance", &RefillSettings::balance),
        Switch("refresh", &RefillSettings::refresh),
        Switch("skip-existing", &RefillSettings::skipExisting),
        Switch("keep-existing", &RefillSettings::keepExisting),
        Switch("numbered", &RefillSettings::numbered),
        Name("playlist", "NAME", &RefillSettings::playlist),
        Switch("ascii-names", &RefillSettings::asciiNames),
        Name("device", "NAME|FILE", &RefillSettings::device),
        Name("frame", "WxH", &RefillSettings::frame),
        Name("ffmpeg", "PATH", &RefillSettings::ffmpeg),
        Number("cache-size", nullptr, "SIZE", Fills::Size, &RefillSettings::cacheSize),
        Switch("prefer-rated", &RefillSettings::preferRated),
        Number("min-rating", nullptr, "STARS", Fills::Stars, &RefillSettings::minRating),
        Number("unrated-as", nullptr, "STARS", Fills::Stars, &RefillSettings::unratedAs),
        Switch("index-only", &RefillSettings::indexOnly),
        Switch("verify", &RefillSettings::verify),
        Switch("wait", &RefillSettings::wait),
        Switch("dry-run", &RefillSettings::dryRun),
    };
    return options;
}

namespace {

// The first option of the table that matches; nullptr where none does.
template <typename Matches>
const RefillOption* OptionWhere(Matches&& matches)
{
    for (const RefillOption& option : RefillOptions()) {
        if (matches(option))
            return &option;
    }
    return nullptr;
}

} // namespace

const RefillOption* RefillOptionNamed(const QString& longName)
{
    return OptionWhere([&](const RefillOption& option) { return longName == QLatin1String(option.longName); });
}

QString TypedName(const RefillOption& option)
{
    return option.shortName ? QStringLiteral("-") + QLatin1String(option.shortName)
                            : QStringLiteral("--") + QLatin1String(option.longName);
}

void Fill(const RefillOption& option, RefillSettings& settings, const QString& value,
          std::optional<std::uint64_t> number)
{
    switch (option.fills) {
    case Fills::Switch: settings.*option.flag = true; break;
    case Fills::Folder: (settings.*option.folders).push_back({option.folderKind, value}); break;
    case Fills::Filter: settings.filters.push_back({option.keepsMatching, value}); break;
    case Fills::Count:
    case Fills::Size:
    case Fills::Stars: settings.*option.number = number; break;
    case Fills::Name: settings.*option.name = value; break;
    }
}

namespace {

// The option that gave a folder, or a filter, of the settings: the table
// has one for each.
const RefillOption& OptionOf(const std::vector<FolderOption> RefillSettings::*folders, FolderSource kind)
{
    return *OptionWhere([&](const RefillOption& option) {
        return option.fills == Fills::Folder && option.folders == folders && option.folderKind == kind;
    });
}

const RefillOption& OptionOf(const NameFilter& filter)
{
    return *OptionWhere([&](const RefillOption& option) {
        return option.fills == Fills::Filter && option.keepsMatching == filter.keepMatching;
    });
}

// The value of a setting that stands in the arguments; none where it is unset.
std::optional<QString> ValueOf(const RefillOption& option, const RefillSettings& settings)
{
    switch (option.fills) {
    case Fills::Switch: return settings.*option.flag ? std::optional(QString()) : std::nullopt;
    case Fills::Count:
    case Fills::Size: {
        const std::optional<std::uint64_t>& number = settings.*option.number;
        return number ? std::optional(QString::number(*number)) : std::nullopt;
    }
    case Fills::Stars: {
        const std::optional<std::uint64_t>& halves = settings.*option.number;
        return halves ? std::optional(StarsText(*halves)) : std::nullopt;
    }
    case Fills::Name: {
        const QString& name = settings.*option.name;
        return name.isEmpty() ? std::nullopt : std::optional(name);
    }
    case Fills::Folder:
    case Fills::Filter: break;
    }
    return std::nullopt;
}

} // namespace

QStringList RefillArguments(const RefillSettings& settings)
{
    QStringList arguments;
    for (const auto folders : {&RefillSettings::sources, &RefillSettings::destinations}) {
        for (const FolderOption& folder : settings.*folders)
            arguments << TypedName(OptionOf(folders, folder.kind)) << folder.value;
    }
    for (const NameFilter& filter : settings.filters)
        arguments << TypedName(OptionOf(filter)) << filter.pattern;
    for (const RefillOption& option : RefillOptions()) {
        if (const std::optional<QString> value = ValueOf(option, settings)) {
            arguments << TypedName(option);
            if (option.valueName)
                arguments << *value;
        }
    }
    return arguments;
}
