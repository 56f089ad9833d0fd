#include "window/WindowRefill.h"

#include "copyrun/DestinationLocks.h"
#include "core/CopyListRow.h"
#include "core/Dialogs.h"
#include "core/PathHelpers.h"
#include "core/ShellQuoting.h"
#include "core/SizeText.h"
#include "core/StateFolder.h"
#include "device/SongTreatment.h"
#include "folders/FileChecks.h"
#include "folders/ListFileSelection.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "randomlist/Draw.h"
#include "refill/RatedSources.h"
#include "refill/RefillOptions.h"
#include "refill/RefillRun.h"
#include "refill/RefreshRecord.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <map>

namespace {

constexpr qsizetype kLongestCommand = 8000;

// Whether a path can stand in a command line as text: its bytes are UTF-8,
// and on Windows it holds no %, which Task Scheduler would expand. A line
// break is carried to the clipboard; a schedule refuses it.
bool TravelsAsText(const QString& path)
{
    const Uncarried uncarried = UncarriedIn(path);
    return !uncarried.variable && !uncarried.bytes;
}

// Whether a path can stand as a line of a list file.
bool FitsALine(const QString& path) { return !path.contains(u'\n') && !path.contains(u'\r'); }

// The folders below the rows, as the subfolder scan finds them: each tree
// scanned once, from the first row met that is not below a scanned one.
class SubfolderTree {
public:
    explicit SubfolderTree(ProblemSink& problems) : problems_(problems) {}

    // Whether folder has subfolders, and every one below it is in rows.
    bool AllBelowAreIn(const QString& folder, const QSet<QString>& rows)
    {
        Scan(folder);
        QStringList next = childrenOf_.value(folder);
        if (next.isEmpty())
            return false;
        while (!next.isEmpty()) {
            const QString below = next.takeLast();
            if (!rows.contains(below))
                return false;
            next += childrenOf_.value(below);
        }
        return true;
    }

private:
    void Scan(const QString& folder)
    {
        if (std::any_of(tops_.begin(), tops_.end(), [&](const QString& top) { return folder.startsWith(top); }))
            return;
        tops_.append(folder);
        for (const QString& below : FoldersBelow(folder, problems_))
            childrenOf_[FolderOf(below.chopped(1))].append(below);
    }

    ProblemSink& problems_;
    QStringList tops_;
    QHash<QString, QStringList> childrenOf_;
};

// The folders the lists hold in a list file in the state folder, one a
// line, as the file system holds their names: the option that names it.
FolderOption ListFileOf(const std::vector<FolderOption>& folders, const QString& name, QString& failure)
{
    QByteArray text;
    for (const FolderOption& folder : folders)
        text += NameBytes(folder.value) + '\n';
    const QString path = QDir(StateFolder()).filePath(name);
    std::error_code error = MakeStateFolder();
    if (!error)
        error = platform::WriteFileWhole(ToFsPath(path), ToFsPath(path + QStringLiteral(".new")),
                                         {text.constData(), std::size_t(text.size())});
    if (error)
        failure = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), QString::fromStdString(error.message()));
    return {FolderSource::ListFile, QDir::toNativeSeparators(path)};
}

// Moves the folders that may stand in a list file there, keeping those that
// may not (a tree, a name with a line break) as they are.
void IntoListFile(std::vector<FolderOption>& folders, const QString& name, QString& failure)
{
    std::vector<FolderOption> listed;
    std::vector<FolderOption> kept;
    for (const FolderOption& folder : folders)
        (folder.kind == FolderSource::Folder && FitsALine(folder.value) ? listed : kept).push_back(folder);
    if (listed.empty())
        return;
    kept.insert(kept.begin(), ListFileOf(listed, name, failure));
    folders = std::move(kept);
}

QString FolderShown(const QString& folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    return shown.size() > 1 && shown.endsWith(NativeSeparator()) && !shown.endsWith(QStringLiteral(":\\"))
        ? shown.chopped(1)
        : shown;
}

// Why a record was refused, in the window's words.
QString RefusalText(const RecordRefusal& refusal)
{
    using Why = RecordRefusal::Why;
    switch (refusal.why) {
    case Why::NotOurs: return QStringLiteral("Quorvex did not write it");
    case Why::NotAPlainFile: return QStringLiteral("it is not a plain file");
    case Why::Unreadable: return QStringLiteral("it cannot be read: %1").arg(QString::fromStdString(refusal.error.message()));
    case Why::TooLarge: return QStringLiteral("it is larger than 4 MiB");
    case Why::DamagedLine: return QStringLiteral("line %1 is damaged").arg(refusal.line);
    case Why::ForeignPath: return QStringLiteral("line %1 names a file outside its folder").arg(refusal.line);
    case Why::None: break;
    }
    return {};
}

// The opening of the message on the folders another run holds: a plain
// copy's counts them, a refill's speaks of them all whatever their number.
QString FoldersInUseHeading(bool plainCopyList, qsizetype folders = 0)
{
    if (plainCopyList && folders == 1)
        return QStringLiteral("Another run is copying into this folder, so nothing was copied there:");
    return plainCopyList ? QStringLiteral("Other runs are copying into these folders, so nothing was copied there:")
                         : QStringLiteral("Another run is copying into these folders, so nothing was copied there:");
}

// A plain copy's message on the folders another run holds, each named as
// it stands in the copy list.
QString PlainFoldersInUseMessage(const std::vector<RefillProblem>& inUse)
{
    QString message = FoldersInUseHeading(true, static_cast<qsizetype>(inUse.size()));
    for (const RefillProblem& folder : inUse) {
        message += QStringLiteral("\r\r") + folder.path;
        if (folder.holder)
            message += QStringLiteral(" (process %1)").arg(*folder.holder);
    }
    return message;
}

// What a message says of one problem: its path, and why where it is told.
QString ProblemLine(const RefillProblem& problem)
{
    using Kind = RefillProblem::Kind;
    QString line = ReadableText(problem.path);
    if (problem.kind == Kind::FolderInUse && problem.holder)
        line += QStringLiteral(" (process %1)").arg(*problem.holder);
    else if (problem.kind == Kind::PlaylistLeftOut)
        line += QStringLiteral(" (%1 copies)").arg(problem.count);
    else if (problem.kind == Kind::IndexNotSaved)
        line += QStringLiteral(" (%1)").arg(problem.description);
    else if (problem.refusal.Refused())
        line += QStringLiteral(" (%1)").arg(RefusalText(problem.refusal));
    if (problem.error)
        line += QStringLiteral(": ") + QString::fromStdString(problem.error.message());
    return line;
}

// The opening of the message on problems of one kind.
QString ProblemHeading(const RefillProblem& problem)
{
    using Kind = RefillProblem::Kind;
    switch (problem.kind) {
    case Kind::FolderInUse: return FoldersInUseHeading(false);
    case Kind::FreeSpaceUnknown:
        return QStringLiteral("The free space of these folders cannot be told, so nothing can be drawn to fill them:");
    case Kind::NothingFitsInSize:
        return QStringLiteral("No file fits in %1.").arg(SizeText(problem.count));
    case Kind::NothingFitsInFreeSpace:
        return QStringLiteral("No file fits in the free space of the destination folders.");
    case Kind::RecordRefused:
        return QStringLiteral("The record of the last refill cannot be trusted in these folders, so nothing will be "
                              "removed there:");
    case Kind::RecordSetAside:
    case Kind::RecordNotSetAside:
        return QStringLiteral("The record of the last refill could not be trusted in these folders. Nothing was "
                              "removed there, and the record was set aside (with .refused after its name) where it "
                              "could be:");
    case Kind::RecordNotWritten:
        return QStringLiteral("The record of this refill could not be written in these folders, so the next refill "
                              "will not replace these copies:");
    case Kind::NotRemoved: return QStringLiteral("These copies of the last refill could not be removed:");
    case Kind::FolderNotMade: return QStringLiteral("These folders could not be made, so nothing was copied into them:");
    case Kind::NamesRefused:
        return QStringLiteral("The device refuses names with letters beyond ASCII in these folders, so those files "
                              "were not copied. Tick \"Plain ASCII names\" in Refill Settings to write plain names:");
    case Kind::PlaylistNotOurs:
        return QStringLiteral("A file that Quorvex did not write has the playlist's name in these folders. It was not "
                              "replaced, and nothing was copied into its folder:");
    case Kind::PlaylistNotWritten: return QStringLiteral("These playlists could not be written:");
    case Kind::PlaylistLeftOut:
        return QStringLiteral("Some copies were left out of these playlists, as their names (with a line break, or "
                              "ending in a blank) cannot stand in a playlist. The copies are there all the same:");
    case Kind::CopiesDiffer:
        return QStringLiteral("A copy read back from these devices differs from its source: the device may not hold "
                              "what it claims. The copy was removed.");
    case Kind::CycleUnreadable:
    case Kind::CycleDamaged:
        return QStringLiteral("The list of the files already drawn cannot be read, so a fresh cycle starts:");
    case Kind::CycleFolderNotMade:
    case Kind::CycleNotWritten:
        return QStringLiteral("The list of the files drawn could not be kept, so they may be drawn again soon:");
    case Kind::IndexSetAside:
        return QStringLiteral("The library index of ratings was damaged. It was set aside, and made anew from the "
                              "files' tags:");
    case Kind::IndexNotSaved:
        return QStringLiteral("The library index of ratings could not be saved, so the files' tags will be read again "
                              "next time. The draw went on from the tags read now:");
    // Said at once, or kept to the window.
    case Kind::FolderMissing:
    case Kind::NotAFolder:
    case Kind::FolderUnreadable:
    case Kind::SourceWithoutFiles:
    case Kind::SourceIsDestination:
    case Kind::SourceInDestination:
    case Kind::ListMissing:
    case Kind::ListTooLarge:
    case Kind::ListNulLines:
    case Kind::ListUnreadable:
    case Kind::ListPathRefused:
    case Kind::NumberBelowOne:
    case Kind::TooManyRows:
    case Kind::StepFailed:
    case Kind::WaitingForFolder:
    case Kind::NoLocksKept:
    case Kind::TreeWithoutFiles:
    case Kind::FewerToDrawFrom:
    case Kind::ReadThroughCache:
    case Kind::CycleWaiting:
    case Kind::ProfileRefused:
    case Kind::FfmpegMissing:
    case Kind::LimitCut:
        break;
    case Kind::PhotoLeftOut:
        return QStringLiteral("These photos were left out: made for the frame, they took more room than was left, "
                              "and no other file was drawn in their place:");
    }
    return {};
}

// Problems of kinds that say no path of their own.
bool NamesNoPath(RefillProblem::Kind kind)
{
    return kind == RefillProblem::Kind::NothingFitsInSize || kind == RefillProblem::Kind::NothingFitsInFreeSpace;
}

} // namespace

std::vector<FolderOption> FoldedSources(const QStringList& rows, ProblemSink& problems)
{
    QSet<QString> folders;
    for (const QString& row : rows)
        folders.insert(WithClosingSeparator(row));
    // Shorter paths first: a tree's top is decided before the folders below it.
    QStringList byLength = rows;
    std::stable_sort(byLength.begin(), byLength.end(), [](const QString& a, const QString& b) { return a.size() < b.size(); });
    SubfolderTree tree(problems);
    QStringList tops;
    for (const QString& row : byLength) {
        const QString folder = WithClosingSeparator(row);
        const bool inTree = std::any_of(tops.begin(), tops.end(), [&](const QString& top) { return folder.startsWith(top); });
        if (!inTree && !IsExistingFile(row) && TravelsAsText(row) && tree.AllBelowAreIn(folder, folders))
            tops.append(folder);
    }
    std::vector<FolderOption> sources;
    QSet<QString> given;
    for (const QString& row : rows) {
        const QString folder = WithClosingSeparator(row);
        const bool isTop = tops.contains(folder);
        if (given.contains(folder)
            || (!isTop && std::any_of(tops.begin(), tops.end(), [&](const QString& top) { return folder.startsWith(top); })))
            continue;
        given.insert(folder);
        sources.push_back({isTop ? FolderSource::Tree : FolderSource::Folder, row});
    }
    return sources;
}

RefillCommandLine CommandLineOf(const WindowLists& lists, const QString& program, ProblemSink& problems,
                                const QString& listFileStem)
{
    RefillCommandLine command;
    RefillSettings& settings = command.settings;
    const RefillChoices& choices = lists.choices;
    // A blank row names no folder: taken as one, the command would read
    // and fill the folder it happens to run in.
    const auto named = [](QStringList rows) {
        rows.removeIf([](const QString& row) { return row.trimmed().isEmpty(); });
        return rows;
    };
    settings.sources = FoldedSources(named(lists.sourceRows), problems);
    for (const QString& row : DistinctFolders(named(lists.destinationRows)))
        settings.destinations.push_back({FolderSource::Folder, row});
    if (!choices.fill)
        settings.count = DrawCount(lists.numberOfFiles);
    settings.repeats = lists.repeats;
    settings.fill = choices.fill;
    if (choices.atMost)
        settings.maxBytes = ParseSize(choices.maxSize);
    settings.wholeFolders = choices.wholeFolders;
    settings.cycle = choices.cycle;
    settings.balance = choices.balance;
    settings.preferRated = choices.preferRated;
    if (choices.atLeast)
        settings.minRating = ParseStars(choices.minRating);
    // Three stars is where unrated files stand anyway, and without a draw by
    // rating they stand nowhere: the line then leaves the option out.
    if (const std::optional<std::uint64_t> unrated = ParseStars(choices.unratedAs);
        choices.ByRating() && unrated != kUnratedAsDefault)
        settings.unratedAs = unrated;
    settings.refresh = choices.refresh;
    settings.numbered = choices.numbered;
    if (choices.playlist)
        settings.playlist = choices.playlistName;
    settings.verify = choices.verify;
    settings.asciiNames = choices.asciiNames;
    settings.device = choices.device;

    const auto travels = [](const std::vector<FolderOption>& folders) {
        return std::all_of(folders.begin(), folders.end(), [](const FolderOption& folder) { return TravelsAsText(folder.value); });
    };
    command.text = ShellCommandLine(program, RefillArguments(settings));
    if (!travels(settings.sources) || !travels(settings.destinations) || command.text.size() > kLongestCommand) {
        IntoListFile(settings.sources, listFileStem + QStringLiteral("-sources.txt"), command.failure);
        IntoListFile(settings.destinations, listFileStem + QStringLiteral("-destinations.txt"), command.failure);
        command.text = command.failure.isEmpty() ? ShellCommandLine(program, RefillArguments(settings)) : QString();
    }
    return command;
}

QString ClashMessage(SettingsClash clash)
{
    const QString duplicates = QStringLiteral("\"Allow same file to be copied more than once\"");
    switch (clash) {
    case SettingsClash::WholeFoldersWithRepeats:
        return QStringLiteral("Whole folders are drawn each once, so they cannot go with %1. Untick one of them.")
            .arg(duplicates);
    case SettingsClash::CycleWithRepeats:
        return QStringLiteral("\"Every file once before any repeats\" cannot go with %1. Untick one of them.")
            .arg(duplicates);
    case SettingsClash::BudgetWithRepeats:
        return QStringLiteral("Filling each destination to its free space cannot go with %1: the same files could be "
                              "drawn without end. Untick one of them.").arg(duplicates);
    case SettingsClash::WholeFoldersWithDestTree:
    case SettingsClash::None:
        break;
    }
    return {};
}

QStringList RefillNotes(const RefillRun& run, const QList<CopyRow>& rows)
{
    const RefillSettings& settings = run.Settings();
    std::map<QString, PlannedSize> sizes;
    std::map<QString, QSet<QString>> drawnFolders;
    if (settings.fill) {
        for (const PlannedSize& size : run.Devices().PlannedSizes(rows))
            sizes[size.folder] = size;
        for (const CopyRow& row : rows)
            drawnFolders[row.folder].insert(FolderOf(row.source));
    }
    std::map<QString, int> songs;
    std::map<QString, int> photos;
    for (const CopyRow& row : rows) {
        songs[row.folder] += run.Devices().ConvertsSong(row) ? 1 : 0;
        photos[row.folder] += run.Devices().MakesPhoto(row) ? 1 : 0;
    }
    QStringList notes;
    // A draw by rating says first what it found and took, for every destination.
    if (const RatedDraw* rated = run.Rated())
        notes << RatedDrawText(*rated);
    for (const RefillProblem& cut : run.Devices().LimitCuts())
        notes << QStringLiteral("The device of %1 takes %2: %3 drawn files left out.")
                     .arg(FolderShown(WithClosingSeparator(cut.path)), cut.description)
                     .arg(cut.count);
    for (const QString& folder : DestinationFoldersOf(rows)) {
        const QString shown = FolderShown(folder);
        const DeviceProfile& profile = run.Devices().ProfileOf(folder);
        if (songs[folder] > 0)
            notes << QStringLiteral("Converts %1 of the files to %2 for %3 (%4).")
                         .arg(songs[folder])
                         .arg(ConversionText(*profile.audio), shown, profile.name);
        if (photos[folder] > 0)
            notes << QStringLiteral("Fits %1 of the files to the %2x%3 screen of %4 (%5).")
                         .arg(photos[folder])
                         .arg(profile.photos->width)
                         .arg(profile.photos->height)
                         .arg(shown, profile.name);
        if (settings.refresh)
            notes << QStringLiteral("Replaces %1 copies of the last refill in %2.").arg(run.RemovableCopiesIn(folder)).arg(shown);
        if (settings.fill) {
            const PlannedSize& size = sizes[folder];
            notes << QStringLiteral("Fills %1 to its free space: %2 %3, %4.")
                         .arg(shown)
                         .arg(settings.wholeFolders ? drawnFolders[folder].size() : size.files)
                         .arg(settings.wholeFolders ? QStringLiteral("folders") : QStringLiteral("files"))
                         .arg(SizeText(size.bytes));
        }
        if (!settings.playlist.isEmpty())
            notes << QStringLiteral("Playlist: %1.").arg(QDir::toNativeSeparators(WithClosingSeparator(folder) + settings.playlist));
        if (settings.verify)
            notes << QStringLiteral("Reads every copy back from %1.").arg(shown);
    }
    return notes;
}

void WindowRefillReport::Tell(const RefillProblem& problem)
{
    // What the folder lists, the list files and the draw meet is said at
    // once, as the window's own commands say it.
    if (HandBack(problem, dialogs_))
        return;
    if (problem.kind == RefillProblem::Kind::ListPathRefused)
        dialogs_.MsgBox(BadCharactersMessage(problem.path));
    else if (problem.kind == RefillProblem::Kind::ListUnreadable || problem.kind == RefillProblem::Kind::ProfileRefused
             || problem.kind == RefillProblem::Kind::FfmpegMissing)
        dialogs_.MsgBox(problem.description);
    else if (WeightOf(problem.kind) != Weight::Note)
        problems_.push_back(problem);
}

void WindowRefillReport::ShowAll(bool plainCopyList)
{
    if (plainCopyList) {
        const auto others = std::stable_partition(problems_.begin(), problems_.end(), [](const RefillProblem& problem) {
            return problem.kind == RefillProblem::Kind::FolderInUse;
        });
        if (others != problems_.begin())
            dialogs_.MsgBox(PlainFoldersInUseMessage({problems_.begin(), others}));
        problems_.erase(problems_.begin(), others);
    }
    // One message for each kind, in the order first met; kinds that share a
    // heading share a message.
    std::vector<std::pair<QString, QStringList>> messages;
    for (const RefillProblem& problem : problems_) {
        const QString heading = ProblemHeading(problem);
        auto message = std::find_if(messages.begin(), messages.end(), [&](const auto& m) { return m.first == heading; });
        if (message == messages.end())
            message = messages.insert(messages.end(), {heading, {}});
        if (!NamesNoPath(problem.kind) && !message->second.contains(ProblemLine(problem)))
            message->second.append(ProblemLine(problem));
    }
    problems_.clear();
    for (const auto& [heading, lines] : messages)
        dialogs_.MsgBox(lines.isEmpty() ? heading : heading + QStringLiteral("\r\r") + lines.join(QStringLiteral("\r")));
}
