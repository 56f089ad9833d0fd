#include "folders/SubfolderScan.h"

#include "folders/PathText.h"

#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/SystemNames.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <map>
#include <memory>
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

class Scan {
public:
    Scan(bool inByteOrder, FolderFiles* files, QStringList* unreadable)
        : inByteOrder_(inByteOrder), files_(files), unreadable_(unreadable)
    {
    }

    // Lists the subfolders of one entry into the next level.
    void Enter(ScanEntry& entry, Level& next)
    {
        const std::filesystem::path path = ToFsPath(entry.path);
        if (entry.path.size() >= kMaxPathLength)
            return;
        yield_.Poll();
        if (entry.protectedFolder && !platform::IsRootFolder(path))
            return;
        platform::FolderReader reader(path);
        if (reader.OpenError()) {
            // A folder whose listing is denied leaves the list; one that is
            // missing or no folder is passed over; other failures leave it be.
            entry.removed = platform::IsPermissionDenied(reader.OpenError());
            entry.missing = platform::IsNotFound(reader.OpenError());
            if (entry.removed && unreadable_)
                unreadable_->append(entry.path);
            return;
        }
        // A folder whose id cannot be read is entered: better twice than never.
        std::shared_ptr<const Ancestry> ancestry = entry.above;
        if (reader.Id()) {
            // A folder is entered under its own name always, through links
            // a few times at most.
            if (IsAmong(*reader.Id(), entry.above.get())
                || (entry.link && ++timesLinkedTo_[*reader.Id()] > kMaxPathsToOneFolder)) {
                entry.notEntered = true;
                return;
            }
            ancestry = std::make_shared<const Ancestry>(Ancestry {*reader.Id(), entry.above});
        }
        const std::size_t first = next.size();
        std::vector<platform::NativeString> files;
        platform::FolderEntry found;
        while (reader.Next(found)) {
            yield_.Poll();
            if (found.kind == platform::EntryKind::File && files_ && !found.hidden && !found.system
                && !IsSystemFileName(found.name))
                files.push_back(std::move(found.name));
            if (found.kind != platform::EntryKind::Folder || IsSystemFolderName(found.name))
                continue;
            const QString name = FromFsName(found.name);
            if (IsAcceptedName(name))
                next.push_back({entry.path + name + NativeSeparator(), found.protectedFolder, ancestry, found.link});
        }
        if (files_ && !reader.ReadError())
            files_->insert(entry.path, std::move(files));
        if (inByteOrder_) {
            std::sort(next.begin() + static_cast<std::ptrdiff_t>(first), next.end(),
                      [](const ScanEntry& a, const ScanEntry& b) { return ToFsPath(a.path) < ToFsPath(b.path); });
        }
        if (platform::IsPermissionDenied(reader.ReadError()) || platform::IsNotFound(reader.ReadError()))
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
    bool inByteOrder_;
    FolderFiles* files_;
    QStringList* unreadable_;
    ThrottledYield yield_;
    std::map<platform::FileId, int> timesLinkedTo_;
};

} // namespace

QStringList FoldersBelow(const QString& top, Dialogs& dialogs, bool inByteOrder, FolderFiles* files,
                         QStringList* unreadable)
{
    QStringList folders {top};
    GetSubDirectories2016(folders, true, dialogs, inByteOrder, files, unreadable);
    // The scan leaves the chosen folder out of its list only when it could
    // not be listed; whatever it found still counts.
    if (!folders.isEmpty() && folders.front() == top)
        folders.removeFirst();
    return folders;
}

void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs, bool inByteOrder, FolderFiles* files,
                           QStringList* unreadable)
{
    ErrorReport report(dialogs, ProcedureLabels::GetSubDirectories2016());
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
        Level next;
        for (ScanEntry& entry : levels[depth])
            report.Step(102, [&] { scan.Enter(entry, next); });
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
