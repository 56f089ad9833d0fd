#pragma once

#include "platform/Volume.h"
#include "randomlist/RandomFileList.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// --fill: draws as much as fits. The same draw goes into every destination
// folder, so each file must fit on every file system, and a file system
// that holds several of the folders takes it once for each. A file takes
// whole clusters, and on FAT its name takes folder entries; a small reserve
// stays free for the folders' growth and the refresh records.
class FillBudget {
public:
    // What each file system keeps free: 1 MiB, and a few clusters for each
    // folder.
    static constexpr std::uint64_t kReserve = 1024 * 1024;
    static constexpr std::uint64_t kClustersPerFolder = 4;

    // What the file system holding a folder can take.
    using VolumeLookup = std::function<std::optional<platform::VolumeFacts>(const QString& folder)>;

    // folders: the destination folders. freed: the files that --refresh
    // removes before the copy, as (folder, size). A folder whose file system
    // cannot be told is named in unknown, and nothing fits there. volumeOf
    // tells the file systems (by default, the system does).
    FillBudget(const QStringList& folders, const std::vector<std::pair<QString, std::uint64_t>>& freed,
               QStringList& unknown, const VolumeLookup& volumeOf = {});

    // Takes a file of size bytes named name when it fits everywhere; false
    // (and nothing taken) when it does not.
    bool Take(const QString& name, std::uint64_t size);

    // Takes a drawn folder's files whole, with the folders made for them
    // (their names, outermost first), when all fit everywhere.
    bool TakeFolder(const QStringList& madeFolders, const std::vector<SizedFile>& files);

private:
    struct Volume {
        std::uint64_t device = 0;
        std::uint64_t unit = 1;
        bool fatEntries = false;
        std::uint64_t folders = 0;
        std::uint64_t free = 0;   // before the reserve, after the refresh
        std::uint64_t budget = 0; // what the draw may take
        std::uint64_t used = 0;
    };
    bool TakeEverywhere(const std::function<std::uint64_t(const Volume&)>& cost);

    std::vector<Volume> volumes_;
};
