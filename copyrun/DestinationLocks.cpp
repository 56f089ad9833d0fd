#include "copyrun/DestinationLocks.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Each folder's id, where it has one.
std::vector<std::optional<platform::FileId>> IdsOf(const QStringList& folders)
{
    std::vector<std::optional<platform::FileId>> ids;
    ids.reserve(static_cast<std::size_t>(folders.size()));
    for (const QString& folder : folders)
        ids.push_back(folder.trimmed().isEmpty() ? std::nullopt : platform::IdOf(ToFsPath(folder)));
    return ids;
}

} // namespace

QStringList DistinctFolders(const QStringList& folders)
{
    const std::vector<std::optional<platform::FileId>> ids = IdsOf(folders);
    std::set<platform::FileId> seenIds;
    QSet<QString> seenTexts;
    QStringList distinct;
    for (qsizetype row = 0; row < folders.size(); ++row) {
        const std::optional<platform::FileId>& id = ids[static_cast<std::size_t>(row)];
        const bool first = id ? seenIds.insert(*id).second : !seenTexts.contains(WithClosingSeparator(folders[row]));
        if (!id)
            seenTexts.insert(WithClosingSeparator(folders[row]));
        if (first)
            distinct.append(folders[row]);
    }
    return distinct;
}

QStringList DestinationFoldersOf(const QList<CopyRow>& rows)
{
    QStringList folders;
    QSet<QString> seen;
    for (const CopyRow& row : rows) {
        if (!row.IsBlank() && !seen.contains(row.folder)) {
            seen.insert(row.folder);
            folders.append(row.folder);
        }
    }
    return folders;
}

void DestinationLocks::Take(const QStringList& folders, const std::function<void(const FolderInUse&)>& waiting)
{
    // One lock per folder: a second lock of one folder would wait for the first.
    const std::vector<std::optional<platform::FileId>> ids = IdsOf(folders);
    std::map<platform::FileId, QStringList> writings;
    for (qsizetype row = 0; row < folders.size(); ++row) {
        if (const std::optional<platform::FileId>& id = ids[static_cast<std::size_t>(row)])
            writings[*id].append(folders[row]);
    }
    for (const auto& [id, names] : writings) {
        const QString& folder = names.first();
        platform::RunLock lock(ToFsPath(folder));
        if (lock.Current() == platform::RunLock::State::Busy && waiting) {
            waiting({folder, lock.Holder()});
            lock.Wait();
        }
        switch (lock.Current()) {
        case platform::RunLock::State::Held: held_.push_back(std::move(lock)); break;
        case platform::RunLock::State::Busy:
            inUse_.push_back({folder, lock.Holder()});
            leftOut_.unite(QSet<QString>(names.begin(), names.end()));
            break;
        case platform::RunLock::State::NotKept:
        case platform::RunLock::State::Failed:
            // A folder gone since its id was read fails its rows, as before.
            if (!platform::IsNotFound(lock.Error()))
                unlocked_.push_back({folder, lock.Error()});
            break;
        }
    }
}
