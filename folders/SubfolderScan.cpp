#include "folders/SubfolderScan.h"

#include "folders/PathText.h"

#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/SystemNames.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

#ifdef Q_OS_WIN
constexpr qsizetype kMaxPathLength = 260;
constexpr qsizetype kMaxNameLength = 260;
#else
constexpr qsizetype kMaxPathLength = 4096;
constexpr qsizetype kMaxNameLength = 256;
#endif

// Links can make a tree of many paths to one folder; past this many links,
// a folder is not entered again through another.
constexpr int kMaxPathsToOneFolder = 8;

// The folders above an entry on the path the scan walked to it.
struct Ancestry {
    platform::FileId id;
    std::shared_ptr<const Ancestry> above;
};

bool IsAmong(const platform::FileId& id, const Ancestry* folders)
{
    for (; folders != nullptr; folders = folders->above.get()) {
        if (folders->id == id)
            return true;
    }
    return false;
}

struct ScanEntry {
    QString path; // ends in the separator
    bool protectedFolder = false;
    std::shared_ptr<const Ancestry> above;
    bool link = false;       // its name is a link to the folder
    bool missing = false;    // not a folder (any more)
    bool removed = false;    // its listing was denied or it vanished while being read
    bool notEntered = false; // its own ancestor (a loop), or reached by too many paths
};

using Level = std::vector<ScanEntry>;

bool IsAcceptedName(const QString& name)
{
    if (name.size() >= kMaxNameLength || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
#ifdef Q_OS_WIN
    // Names the ANSI code page cannot write are left out there. On POSIX a
    // folder the file system holds is never left out for its characters.
    return !HasBadNameCharacters(name) && !name.contains(u'?');
#else
    return true;
#endif
}

// What reading one folder found, before the scan takes it in. Folders are
// read on a few threads at once; what they hold is then taken in order.
struct FolderListing {
    bool read = false; // false when the folder is not to be entered at all
    std::error_code openError;
    std::error_code readError;
    std::optional<platform::FileId> id;
    std::vector<platform::NativeString> files;  // its plain files, when they are kept
    std::vector<platform::FolderEntry> folders; // its subfolders, but those systems keep
    std::exception_ptr failure;                 // the reading itself failed
};

class Scan {
public:
    Scan(bool inByteOrder, FolderFiles* files, std::vector<DeniedFolder>* unreadable)
        : inByteOrder_(inByteOrder), files_(files), unreadable_(unreadable)
    {
    }

    // Reads the folders of one level, on a few threads, while window events
    // run.
    std::vector<FolderListing> Read(const Level& level) const
    {
        std::vector<FolderListing> listings(level.size());
        RunLettingWindowEventsRun([&] {
            ForEachInParallel(level.size(), [&](std::size_t i) {
                try {
                    listings[i] = Read(level[i]);
                } catch (...) {
                    listings[i].failure = std::current_exception();
                }
            });
        });
        return listings;
    }

    // Takes in what one entry's folder holds: its subfolders make the next
    // level.
    void Enter(ScanEntry& entry, FolderListing& listing, Level& next)
    {
        if (listing.failure)
            std::rethrow_exception(listing.failure);
        if (!listing.read)
            return;
        yield_.Poll();
        if (listing.openError) {
            // A folder whose listing is denied leaves the list; one that is
            // missing or no folder is passed over; other failures leave it be.
            entry.removed = platform::IsPermissionDenied(listing.openError);
            entry.missing = platform::IsNotFound(listing.openError);
            if (entry.removed && unreadable_)
                unreadable_->push_back({entry.path, listing.openError});
            return;
        }
        // A folder whose id cannot be read is entered: better twice than never.
        std::shared_ptr<const Ancestry> ancestry = entry.above;
        if (listing.id) {
            // A folder is entered under its own name always, through links
            // a few times at most.
            if (IsAmong(*listing.id, entry.above.get())
                || (entry.link && ++timesLinkedTo_[*listing.id] > kMaxPathsToOneFolder)) {
                entry.notEntered = true;
                return;
            }
            ancestry = std::make_shared<const Ancestry>(Ancestry {*listing.id, entry.above});
        }
        const std::size_t first = next.size();
        for (const platform::FolderEntry& found : listing.folders) {
            yield_.Poll();
            const QString name = FromFsName(found.name);
            if (IsAcceptedName(name))
                next.push_back({entry.path + name + NativeSeparator(), found.protectedFolder, ancestry, found.link});
        }
        if (files_ && !listing.readError)
            files_->insert(entry.path, std::move(listing.files));
        if (inByteOrder_) {
            std::sort(next.begin() + static_cast<std::ptrdiff_t>(first), next.end(),
                      [](const ScanEntry& a, const ScanEntry& b) { return ToFsPath(a.path) < ToFsPath(b.path); });
        }
        if (platform::IsPermissionDenied(listing.readError) || platform::IsNotFound(listing.readError))
            entry.removed = true;
    }

    // Keeps an entry of a deeper level in the result.
    bool Merges(const ScanEntry& entry)
    {
        yield_.Poll();
        return !entry.removed && !entry.missing && !entry.notEntered
            && (!entry.protectedFolder || platform::IsRootFolder(ToFsPath(entry.path)));
    }

private:
    // Reads one entry's folder; touches nothing but what it returns.
    FolderListing Read(const ScanEntry& entry) const
    {
        FolderListing listing;
        const std::filesystem::path path = ToFsPath(entry.path);
        if (entry.path.size() >= kMaxPathLength || (entry.protectedFolder && !platform::IsRootFolder(path)))
            return listing;
        listing.read = true;
        platform::FolderReader reader(path);
        listing.openError = reader.OpenError();
        listing.id = reader.Id();
        if (listing.openError)
            return listing;
        platform::FolderEntry found;
        while (reader.Next(found)) {
            if (found.kind == platform::EntryKind::File && files_ && !found.hidden && !found.system
                && !IsSystemFileName(found.name))
                listing.files.push_back(std::move(found.name));
            else if (found.kind == platform::EntryKind::Folder && !IsSystemFolderName(found.name))
                listing.folders.push_back(std::move(found));
        }
        listing.readError = reader.ReadError();
        return listing;
    }

    bool inByteOrder_;
    FolderFiles* files_;
    std::vector<DeniedFolder>* unreadable_;
    ThrottledYield yield_;
    std::map<platform::FileId, int> timesLinkedTo_;
};

} // namespace

QStringList FoldersBelow(const QString& top, ProblemSink& problems, bool inByteOrder, FolderFiles* files,
                         std::vector<DeniedFolder>* unreadable)
{
    QStringList folders {top};
    GetSubDirectories2016(folders, true, problems, inByteOrder, files, unreadable);
    // The scan leaves the chosen folder out of its list only when it could
    // not be listed; whatever it found still counts.
    if (!folders.isEmpty() && folders.front() == top)
        folders.removeFirst();
    return folders;
}

void GetSubDirectories2016(QStringList& folders, bool recurse, ProblemSink& problems, bool inByteOrder, FolderFiles* files,
                           std::vector<DeniedFolder>* unreadable)
{
    ErrorReport report(problems, ProcedureLabels::GetSubDirectories2016());
    Scan scan(inByteOrder, files, unreadable);
    std::vector<Level> levels(1);
    report.Step(100, [&] {
        for (const QString& folder : folders)
            levels[0].push_back({folder, platform::IsProtectedFolder(ToFsPath(folder)), nullptr});
    });
    // Level by level: the subfolders of every entry of one level make the next.
    for (std::size_t depth = 0; depth < levels.size(); ++depth) {
        if (depth == 1 && !recurse)
            break;
        std::vector<FolderListing> listings;
        report.Step(102, [&] { listings = scan.Read(levels[depth]); });
        Level next;
        for (std::size_t i = 0; i < listings.size(); ++i)
            report.Step(102, [&] { scan.Enter(levels[depth][i], listings[i], next); });
        if (!next.empty())
            levels.push_back(std::move(next));
    }
    report.Step(104, [&] {
        QStringList result;
        for (const ScanEntry& entry : levels[0]) {
            if (!entry.removed)
                result.append(entry.path);
        }
        for (std::size_t depth = 1; depth < levels.size(); ++depth) {
            for (const ScanEntry& entry : levels[depth]) {
                if (scan.Merges(entry))
                    result.append(entry.path);
            }
        }
        folders = std::move(result);
    });
}
