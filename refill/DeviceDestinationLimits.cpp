// The plan within what each device reads and counts: names no longer than
// it shows, folders no deeper than it reads and no fuller than it lists,
// and no more files or folders in all than it counts.

#include "refill/DeviceDestinations.h"

#include "core/PathHelpers.h"
#include "device/NameLength.h"
#include "platform/FileSystem.h"
#include "platform/Volume.h"
#include "refill/Refresh.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <filesystem>

namespace {

// Where a destination's device is counted from: its volume's root. A
// folder on a fixed disk, where the system says which it is (Windows), or
// on the disk that holds the system or the home folder, stands in for a
// device (one filled before it is copied onto a stick), and is counted
// alone: the rest of that disk is no device's.
std::filesystem::path CountRootOf(const QString& destination)
{
    const std::filesystem::path folder = ToFsPath(destination);
    const std::filesystem::path root = platform::VolumeRootOf(folder);
    if (root.empty() || platform::OnRemovableDrive(folder) == false)
        return folder;
    for (const QString& own : {QDir::rootPath(), QDir::homePath()}) {
        if (platform::VolumeRootOf(ToFsPath(own)) == root)
            return folder;
    }
    return root;
}

// How many levels of folders lie above a destination on its device.
int DepthOf(const QString& destination)
{
    const std::filesystem::path root = CountRootOf(destination);
    int depth = 0;
    for (std::filesystem::path at = ToFsPath(destination).lexically_normal(); at.has_relative_path() && at != root;
         at = at.parent_path()) {
        if (!at.filename().empty())
            ++depth;
    }
    return depth;
}

struct DeviceCounts {
    std::int64_t files = 0;
    std::int64_t folders = 0;
};

// What a device holds, counted up to the most its limits need: files and
// folders on a destination's device, the copies and folders the
// refresh removes left out, counted no further than needed.
DeviceCounts CountOnDevice(const QString& destination, const DeviceLimits& limits, const Refresh& records)
{
    DeviceCounts counts;
    const std::int64_t enough = std::max(limits.files.value_or(0), limits.folders.value_or(0)) + 1;
    std::error_code error;
    for (auto entry = std::filesystem::recursive_directory_iterator(
             CountRootOf(destination), std::filesystem::directory_options::skip_permission_denied, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        const QString path = FromFsName(entry->path().native());
        if (entry->is_directory(error)) {
            if (!records.IsRemovable(WithClosingSeparator(path)))
                ++counts.folders;
        } else if (!records.IsRemovable(path)) {
            ++counts.files;
        }
        if (counts.files >= enough && counts.folders >= enough)
            break;
    }
    return counts;
}

} // namespace

// A flat draw larger than a folder of the device holds is spread over
// numbered folders (01, 02, ...), each holding at most that many, in the
// draw's order; the user's own files in the destination count, and a
// number in use is passed over. Folders of albums deeper than the device
// reads are folded into one ("Artist/Album" becomes "Artist - Album").
void DeviceDestinations::FitFoldersToLimits(CopyPlan& plan) const
{
    const QChar separator = NativeSeparator();
    for (const QString& destination : destinations_) {
        const DeviceLimits& limits = ProfileOf(destination).limits;
        const QString folder = WithClosingSeparator(destination);
        if (limits.depth) {
            const int levels = std::max(1, *limits.depth - DepthOf(destination));
            for (CopyRow& row : plan.rows) {
                QStringList names = row.name.split(separator);
                if (row.folder != folder || names.size() - 1 <= levels)
                    continue;
                const QString leaf = names.takeLast();
                const QStringList folded = names.mid(levels - 1);
                row.name = (names.mid(0, levels - 1) << folded.join(QStringLiteral(" - ")) << leaf).join(separator);
            }
        }
        if (limits.filesPerFolder)
            SpreadOverFolders(plan, folder, *limits.filesPerFolder);
    }
}

void DeviceDestinations::SpreadOverFolders(CopyPlan& plan, const QString& folder, int perFolder) const
{
    const QChar separator = NativeSeparator();
    std::vector<CopyRow*> flat;
    for (CopyRow& row : plan.rows) {
        if (row.folder == folder && !row.IsBlank() && !row.name.contains(separator))
            flat.push_back(&row);
    }
    qsizetype own = 0;
    platform::FolderReader reader(ToFsPath(folder));
    platform::FolderEntry entry;
    QSet<QString> present;
    while (reader.Next(entry)) {
        const QString name = FromFsName(entry.name);
        present.insert(name.toCaseFolded());
        if (!records_.IsRemovable(folder + name) && !IsFolder(folder + name))
            ++own;
    }
    if (static_cast<qsizetype>(flat.size()) + own <= perFolder)
        return;
    // Last night's numbered folders, which the refresh empties, are free again.
    const QStringList removable = records_.Removable();
    const QSet<QString> madeBefore(removable.begin(), removable.end());
    const qsizetype count = (static_cast<qsizetype>(flat.size()) + perFolder - 1) / perFolder;
    const int width = std::max<int>(2, QString::number(count).size());
    int number = 0;
    QString numbered;
    for (std::size_t i = 0; i < flat.size(); ++i) {
        if (i % static_cast<std::size_t>(perFolder) == 0) {
            // A number the user's folder or file (or an album) holds is passed over.
            do
                numbered = QStringLiteral("%1").arg(++number, width, 10, QChar(u'0'));
            while ((present.contains(numbered.toCaseFolded()) && !madeBefore.contains(folder + numbered + separator))
                   || std::any_of(plan.rows.begin(), plan.rows.end(), [&](const CopyRow& row) {
                          return row.folder == folder && row.name.startsWith(numbered + separator, Qt::CaseInsensitive);
                      }));
        }
        flat[i]->name = numbered + separator + flat[i]->name;
    }
}

// Names longer than a device shows are cut: each folder made, and each
// file's name before its extension (its new one, after the folding and
// the number in front). A cut name that is then taken takes a number,
// within the limit too.
void DeviceDestinations::FitNamesToLimits(CopyPlan& plan) const
{
    QSet<QString> claimed = ClaimedNames(plan);
    const QChar separator = NativeSeparator();
    for (CopyRow& row : plan.rows) {
        const std::optional<int> limit = ProfileOf(row.folder).limits.nameLength;
        if (row.IsBlank() || !limit)
            continue;
        QStringList names = row.name.split(separator);
        const QString leaf = names.takeLast();
        for (QString& folder : names)
            folder = NameWithin(folder, *limit, false);
        const QString below = names.isEmpty() ? QString() : names.join(separator) + separator;
        const QString fitted = NameWithin(leaf, *limit);
        if (below + fitted == row.name)
            continue;
        claimed.remove(row.Destination().toCaseFolded());
        const auto taken = [&](const QString& name) {
            const QString path = row.folder + below + name;
            return claimed.contains(path.toCaseFolded()) || IsKeptFile(path);
        };
        QString name = fitted;
        for (std::uint32_t number = 1; taken(name); ++number)
            name = NumberedNameWithin(leaf, number, *limit);
        row.name = below + name;
        claimed.insert(row.Destination().toCaseFolded());
    }
}


// The draw stops, on each destination, where its device's count of files
// or folders would be passed: its own files count, and so do the playlist
// and the record the run writes. A drawn folder is kept or left out whole.
void DeviceDestinations::KeepWithinCounts(CopyPlan& plan)
{
    for (const QString& destination : destinations_) {
        const DeviceLimits& limits = ProfileOf(destination).limits;
        if (!limits.files && !limits.folders)
            continue;
        const QString folder = WithClosingSeparator(destination);
        const DeviceCounts held = CountOnDevice(destination, limits, records_);
        std::int64_t files = held.files + (settings_.playlist.isEmpty() ? 0 : 1) + (settings_.refresh ? 1 : 0);
        std::int64_t folders = held.folders;
        QSet<QString> madeFolders;
        QString cutBy;
        std::uint64_t cut = 0;
        QString group;     // the drawn folder of the rows kept last
        bool keeping = true;
        for (qsizetype i = 0; i < plan.rows.size();) {
            const CopyRow& row = plan.rows[i];
            if (row.folder != folder) {
                ++i;
                continue;
            }
            // A drawn folder's rows are taken together.
            const bool sameGroup = settings_.wholeFolders && FolderOf(row.source) == group;
            group = FolderOf(row.source);
            QStringList newFolders;
            const QStringList below = row.name.split(NativeSeparator()).mid(0, row.name.count(NativeSeparator()));
            QString path = folder;
            for (const QString& name : below) {
                path += name + NativeSeparator();
                if (!madeFolders.contains(path.toCaseFolded()) && !PathExists(path))
                    newFolders.append(path.toCaseFolded());
            }
            if (keeping && !sameGroup) {
                const std::int64_t groupFiles = settings_.wholeFolders
                    ? std::count_if(plan.rows.begin() + i, plan.rows.end(), [&](const CopyRow& other) {
                          return other.folder == folder && FolderOf(other.source) == group;
                      })
                    : 1;
                if (limits.files && files + groupFiles > *limits.files)
                    cutBy = QStringLiteral("%1 files in all").arg(*limits.files);
                else if (limits.folders && folders + newFolders.size() > *limits.folders)
                    cutBy = QStringLiteral("%1 folders in all").arg(*limits.folders);
                keeping = cutBy.isEmpty();
            }
            if (!keeping) {
                plan.rows.removeAt(i);
                ++cut;
                continue;
            }
            ++files;
            folders += newFolders.size();
            for (const QString& made : newFolders)
                madeFolders.insert(made);
            ++i;
        }
        if (cut > 0) {
            RefillProblem limited {RefillProblem::Kind::LimitCut, destination};
            limited.count = cut;
            limited.description = cutBy;
            report_.Tell(limited);
            limitCuts_.push_back(limited);
        }
    }
}
