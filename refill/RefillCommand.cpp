#include "refill/RefillCommand.h"

namespace {

void AddFolders(QStringList& arguments, const std::vector<FolderOption>& folders, bool sources)
{
    static const char* const kSourceOptions[] = {"-s", "--source-tree", "--source-list"};
    static const char* const kDestinationOptions[] = {"-d", "--dest-tree", "--dest-list"};
    for (const FolderOption& folder : folders) {
        const int kind = static_cast<int>(folder.kind);
        arguments << QString::fromLatin1(sources ? kSourceOptions[kind] : kDestinationOptions[kind]) << folder.value;
    }
}

void AddSwitch(QStringList& arguments, bool set, const char* name)
{
    if (set)
        arguments << QString::fromLatin1(name);
}

} // namespace

QStringList RefillArguments(const RefillSettings& settings)
{
    QStringList arguments;
    AddFolders(arguments, settings.sources, true);
    AddFolders(arguments, settings.destinations, false);
    for (const NameFilter& filter : settings.filters)
        arguments << (filter.keepMatching ? QStringLiteral("--only") : QStringLiteral("--exclude")) << filter.pattern;
    if (settings.count)
        arguments << QStringLiteral("-n") << QString::number(*settings.count);
    AddSwitch(arguments, settings.repeats, "-r");
    AddSwitch(arguments, settings.fill, "--fill");
    if (settings.maxBytes)
        arguments << QStringLiteral("--max-size") << QString::number(*settings.maxBytes);
    AddSwitch(arguments, settings.wholeFolders, "--whole-folders");
    AddSwitch(arguments, settings.cycle, "--cycle");
    if (!settings.cycleName.isEmpty())
        arguments << QStringLiteral("--cycle-name") << settings.cycleName;
    AddSwitch(arguments, settings.balance, "--balance");
    AddSwitch(arguments, settings.refresh, "--refresh");
    AddSwitch(arguments, settings.skipExisting, "--skip-existing");
    AddSwitch(arguments, settings.keepExisting, "--keep-existing");
    AddSwitch(arguments, settings.numbered, "--numbered");
    if (!settings.playlist.isEmpty())
        arguments << QStringLiteral("--playlist") << settings.playlist;
    AddSwitch(arguments, settings.asciiNames, "--ascii-names");
    AddSwitch(arguments, settings.verify, "--verify");
    AddSwitch(arguments, settings.wait, "--wait");
    return arguments;
}
