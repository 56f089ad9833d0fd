#pragma once

#include <filesystem>

// The few file operations whose meaning differs between Windows and POSIX.
namespace platform {

// Deletes a file (never a folder). True when it is gone.
bool RemoveFile(const std::filesystem::path& path);

// "Set attributes to normal": clears read-only (and on Windows hidden,
// system and archive); on POSIX gives the owner write permission.
bool MakeNormal(const std::filesystem::path& path);

} // namespace platform
