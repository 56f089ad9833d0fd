#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// What the file system that holds a folder can take: learnt from its type,
// so that a plan can fit it before anything is copied.
struct VolumeFacts {
    // A name for messages: "FAT", "exFAT", "NTFS", "SMB", or the system's
    // own name of the type ("ext4"); empty when it cannot be told.
    std::string typeName;
    // Refuses ? * : " < > | \ and control characters in names, and trailing
    // dots and blanks, as FAT, exFAT, NTFS and SMB shares do.
    bool windowsNames = false;
    // The largest file it holds (FAT: 4 GiB less one byte); empty for no
    // limit worth knowing.
    std::optional<std::uint64_t> maxFileSize;
    // Every file takes a whole number of these (FAT's cluster).
    std::uint64_t allocationUnit = 1;
    // What this process may still write.
    std::uint64_t freeBytes = 0;
    // The same for two folders on one file system.
    std::uint64_t device = 0;
    // A file keeps its number (inode, NTFS's file id) when the file system is
    // mounted again: ext4, btrfs, xfs, tmpfs; NTFS on Windows. FAT gives none.
    bool lastingFileIds = false;
};

// The facts of the file system holding folder; empty when it cannot be read.
std::optional<VolumeFacts> VolumeOf(const std::filesystem::path& folder);

// The folder the file system holding folder is mounted at (its volume's
// root: "/media/stick", "E:\\"); empty when it cannot be told.
std::filesystem::path VolumeRootOf(const std::filesystem::path& folder);

// Whether the file system holding folder is on a drive made to be taken out
// (a stick, a card) rather than a fixed disk; empty where the system does
// not say (Linux: a FUSE mount has no drive to ask).
std::optional<bool> OnRemovableDrive(const std::filesystem::path& folder);

// The space a file of size bytes takes on a file system that allocates in
// units of unit bytes.
constexpr std::uint64_t AllocatedSize(std::uint64_t size, std::uint64_t unit)
{
    return unit <= 1 ? size : (size + unit - 1) / unit * unit;
}

} // namespace platform
