#include "refill/FillBudget.h"

#include "core/PathHelpers.h"

#include <algorithm>
#include <map>

namespace {

// FAT keeps a long name in entries of 13 characters each, and one more for
// the short name, 32 bytes apiece. A numbered name may grow by a few.
std::uint64_t FolderEntryBytes(const QString& name)
{
    constexpr std::uint64_t kEntry = 32;
    constexpr std::uint64_t kNumberRoom = 4;
    return kEntry * (1 + (static_cast<std::uint64_t>(name.size()) + kNumberRoom + 12) / 13);
}

} // namespace

FillBudget::FillBudget(const QStringList& folders, const std::vector<std::pair<QString, std::uint64_t>>& freed,
                       QStringList& unknown, const VolumeLookup& volumeOf)
{
    std::map<QString, std::size_t> volumeOfFolder;
    for (const QString& row : folders) {
        if (row.trimmed().isEmpty())
            continue;
        const QString folder = WithClosingSeparator(row);
        if (volumeOfFolder.count(folder))
            continue; // the same folder twice gets each file once
        const std::optional<platform::VolumeFacts> facts = volumeOf ? volumeOf(folder) : platform::VolumeOf(ToFsPath(folder));
        if (!facts) {
            unknown.append(folder);
            volumes_.push_back({}); // holds nothing
            volumeOfFolder[folder] = volumes_.size() - 1;
            continue;
        }
        auto volume = std::find_if(volumes_.begin(), volumes_.end(), [&](const Volume& known) {
            return known.folders > 0 && known.device == facts->device;
        });
        if (volume == volumes_.end()) {
            volumes_.push_back({facts->device, facts->allocationUnit, facts->windowsNames, 0, facts->freeBytes, 0, 0});
            volume = volumes_.end() - 1;
        }
        ++volume->folders;
        volumeOfFolder[folder] = static_cast<std::size_t>(volume - volumes_.begin());
    }
    for (const auto& [folder, size] : freed) {
        const auto volume = volumeOfFolder.find(folder);
        if (volume != volumeOfFolder.end() && volumes_[volume->second].folders > 0)
            volumes_[volume->second].free += platform::AllocatedSize(size, volumes_[volume->second].unit);
    }
    for (Volume& volume : volumes_) {
        const std::uint64_t reserve = kReserve + kClustersPerFolder * volume.unit * volume.folders;
        volume.budget = volume.free > reserve ? volume.free - reserve : 0;
    }
}

bool FillBudget::Take(const QString& name, std::uint64_t size)
{
    return TakeEverywhere([&](const Volume& volume) {
        const std::uint64_t entries = volume.fatEntries ? FolderEntryBytes(name) : 0;
        return platform::AllocatedSize(size, volume.unit) + entries;
    });
}

bool FillBudget::TakeFolder(const QStringList& madeFolders, const std::vector<SizedFile>& files)
{
    return TakeEverywhere([&](const Volume& volume) {
        // Each file's clusters; the innermost folder's entries (theirs, and
        // its own "." and "..") in clusters of their own; each folder around
        // it a cluster; and every made folder its entry in its parent.
        constexpr std::uint64_t kDotEntries = 64;
        std::uint64_t bytes = 0;
        std::uint64_t entries = kDotEntries;
        for (const SizedFile& file : files) {
            bytes += platform::AllocatedSize(file.size, volume.unit);
            entries += volume.fatEntries ? FolderEntryBytes(FileNameOf(file.path)) : 0;
        }
        bytes += platform::AllocatedSize(entries, volume.unit);
        for (qsizetype folder = 0; folder < madeFolders.size(); ++folder) {
            bytes += volume.fatEntries ? FolderEntryBytes(madeFolders[folder]) : 0;
            bytes += folder + 1 < madeFolders.size() ? volume.unit : 0;
        }
        return bytes;
    });
}

bool FillBudget::TakeEverywhere(const std::function<std::uint64_t(const Volume&)>& cost)
{
    for (const Volume& volume : volumes_) {
        if (volume.folders == 0 || volume.folders * cost(volume) > volume.budget - volume.used)
            return false;
    }
    for (Volume& volume : volumes_)
        volume.used += volume.folders * cost(volume);
    return true;
}
