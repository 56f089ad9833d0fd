#include "copyrun/DeviceFlush.h"

#include "core/EventYield.h"
#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QHash>

#include <map>
#include <set>
#include <optional>

std::vector<FlushGroup> GroupByFileSystem(const QStringList& writtenFiles)
{
    std::vector<FlushGroup> groups;
    std::map<std::uint64_t, std::size_t> groupOfDevice;
    QHash<QString, std::optional<std::uint64_t>> deviceOfFolder; // most files share a few folders
    for (const QString& file : writtenFiles) {
        const QString folder = FolderOf(file);
        auto known = deviceOfFolder.find(folder);
        if (known == deviceOfFolder.end())
            known = deviceOfFolder.insert(folder, platform::FileSystemOf(ToFsPath(folder)));
        if (!*known)
            continue; // the folder has gone meanwhile: nothing of it to flush
        auto [group, added] = groupOfDevice.try_emplace(**known, groups.size());
        if (added)
            groups.push_back({folder, {}, !platform::FlushesAsAWhole(ToFsPath(folder))});
        groups[group->second].files.push_back(ToFsPath(file));
    }
    return groups;
}

std::error_code SystemFlusher::Flush(const FlushGroup& group)
{
    if (!group.eachFile) {
        const std::error_code error = platform::FlushFileSystem(ToFsPath(group.folder));
        if (error != std::errc::function_not_supported)
            return error;
    }
    // File by file, then the folders that name them: the new names live
    // there.
    std::error_code first;
    std::set<std::filesystem::path> folders;
    for (const std::filesystem::path& file : group.files) {
        if (const std::error_code error = platform::FlushFile(file); error && !first)
            first = error;
        folders.insert(file.parent_path());
    }
    for (const std::filesystem::path& folder : folders) {
        if (const std::error_code error = platform::FlushFolder(folder); error && !first)
            first = error;
    }
    return first;
}

namespace {

// The message for a flush that failed.
QString FlushFailedMessage(const FlushGroup& group, const std::error_code& error)
{
    return QStringLiteral("The copies in %1 may not all have reached the device:\r\r%2.")
        .arg(group.folder, QString::fromStdString(error.message()));
}

} // namespace

QStringList FlushToDevices(const QStringList& writtenFiles, DeviceFlusher& flusher,
                           const std::function<void(const FlushGroup&)>& starting)
{
    QStringList failures;
    for (const FlushGroup& group : GroupByFileSystem(writtenFiles)) {
        if (starting)
            starting(group);
        std::error_code error;
        RunLettingWindowEventsRun([&] { error = flusher.Flush(group); });
        if (error)
            failures.append(FlushFailedMessage(group, error));
    }
    return failures;
}

QString FlushingText(const FlushGroup& group)
{
    return QStringLiteral("Writing to the device: ") + ReadableText(group.folder);
}

