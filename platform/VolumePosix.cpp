#include "platform/Volume.h"

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/statvfs.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#endif

namespace platform {
namespace {

constexpr std::uint64_t kFatMaxFileSize = 0xFFFFFFFFull;

#ifdef __linux__
// The type /proc/self/mountinfo gives the mount of a device ("fuse.fusefat",
// "fuseblk"): statfs tells only that a file system is FUSE.
std::string MountType(dev_t device)
{
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(device)) + ':' + std::to_string(minor(device));
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const std::size_t separator = line.find(" - ");
        if (numbers != wanted || separator == std::string::npos)
            continue;
        std::istringstream rest(line.substr(separator + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

// The message name of a type as mountinfo gives it; empty when it is none of
// the Windows file systems.
std::string WindowsTypeName(const std::string& type)
{
    const std::string name = type.rfind("fuse.", 0) == 0 ? type.substr(5) : type;
    if (name == "vfat" || name == "msdos" || name == "fusefat" || name == "fatfs")
        return "FAT";
    if (name == "exfat" || name == "exfat-fuse")
        return "exFAT";
    if (name == "ntfs" || name == "ntfs3" || name == "ntfs-3g" || name == "lowntfs-3g")
        return "NTFS";
    if (name == "cifs" || name == "smb3" || name == "smbfs")
        return "SMB";
    // A FUSE mount of a block device without a subtype: ntfs-3g or
    // exfat-fuse, both Windows file systems.
    if (name == "fuseblk")
        return "NTFS or exFAT";
    return {};
}
#endif

} // namespace

std::optional<VolumeFacts> VolumeOf(const std::filesystem::path& folder)
{
    struct stat status {};
    struct statvfs space {};
    if (::stat(folder.c_str(), &status) != 0 || ::statvfs(folder.c_str(), &space) != 0)
        return std::nullopt;
    VolumeFacts facts;
    facts.device = static_cast<std::uint64_t>(status.st_dev);
    const std::uint64_t unit = space.f_frsize > 0 ? space.f_frsize : space.f_bsize;
    facts.allocationUnit = unit > 0 ? unit : 1;
    facts.freeBytes = static_cast<std::uint64_t>(space.f_bavail) * facts.allocationUnit;
#ifdef __linux__
    const std::string type = MountType(status.st_dev);
    facts.typeName = WindowsTypeName(type);
    facts.windowsNames = !facts.typeName.empty();
    if (facts.typeName.empty())
        facts.typeName = type;
    facts.lastingFileIds = type == "ext2" || type == "ext3" || type == "ext4" || type == "btrfs" || type == "xfs"
        || type == "tmpfs";
    if (facts.typeName == "FAT") {
        facts.maxFileSize = kFatMaxFileSize;
        // fusefat gives 1 KiB blocks and its clusters as the file count;
        // the cluster is what a file really takes.
        if (space.f_files > 0 && space.f_blocks > 0) {
            const std::uint64_t cluster = static_cast<std::uint64_t>(space.f_blocks) * unit / space.f_files;
            std::uint64_t power = 1;
            while (power < cluster)
                power *= 2;
            if (power > facts.allocationUnit && power <= 1024 * 1024)
                facts.allocationUnit = power;
        }
    }
#endif
    return facts;
}

std::filesystem::path VolumeRootOf(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::path at = std::filesystem::canonical(folder, error);
    struct stat own {};
    if (error || ::stat(at.c_str(), &own) != 0)
        return {};
    // Up to the last folder on the same device: above it lies another file system.
    while (at.has_relative_path()) {
        struct stat parent {};
        if (::stat(at.parent_path().c_str(), &parent) != 0 || parent.st_dev != own.st_dev)
            break;
        at = at.parent_path();
    }
    return at;
}

std::optional<bool> OnRemovableDrive(const std::filesystem::path&)
{
    return std::nullopt;
}

} // namespace platform
