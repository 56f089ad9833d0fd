#include "platform/Volume.h"

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

std::optional<VolumeFacts> VolumeOf(const std::filesystem::path& folder)
{
    std::vector<wchar_t> root(MAX_PATH + 1);
    if (!::GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return std::nullopt;
    wchar_t typeName[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (!::GetVolumeInformationW(root.data(), nullptr, 0, &serial, nullptr, nullptr, typeName, MAX_PATH + 1))
        return std::nullopt;
    VolumeFacts facts;
    facts.device = serial;
    // Windows refuses these names on every file system.
    facts.windowsNames = true;
    const std::wstring type = typeName;
    if (type == L"FAT" || type == L"FAT32") {
        facts.typeName = "FAT";
        facts.maxFileSize = 0xFFFFFFFFull;
    } else {
        facts.typeName = std::string(type.begin(), type.end());
    }
    facts.lastingFileIds = type == L"NTFS" || type == L"ReFS";
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (::GetDiskFreeSpaceW(root.data(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        facts.allocationUnit = std::uint64_t(sectorsPerCluster) * bytesPerSector;
    if (facts.allocationUnit == 0)
        facts.allocationUnit = 1;
    ULARGE_INTEGER available {};
    if (::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        facts.freeBytes = available.QuadPart;
    return facts;
}

std::filesystem::path VolumeRootOf(const std::filesystem::path& folder)
{
    wchar_t root[MAX_PATH + 1] {};
    if (!::GetVolumePathNameW(folder.c_str(), root, MAX_PATH + 1))
        return {};
    return std::filesystem::path(root);
}

std::optional<bool> OnRemovableDrive(const std::filesystem::path& folder)
{
    const std::filesystem::path root = VolumeRootOf(folder);
    if (root.empty())
        return std::nullopt;
    switch (::GetDriveTypeW(root.c_str())) {
    case DRIVE_REMOVABLE:
        return true;
    case DRIVE_FIXED:
    case DRIVE_REMOTE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return false;
    default:
        return std::nullopt;
    }
}

} // namespace platform
