#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

// The few file operations whose meaning differs between Windows and POSIX.
namespace platform {

// Deletes a file (never a folder). True when it is gone.
bool RemoveFile(const std::filesystem::path& path);

// "Set attributes to normal": clears read-only (and on Windows hidden,
// system and archive); on POSIX gives the owner write permission.
bool MakeNormal(const std::filesystem::path& path);

enum class ListingResult {
    Listed,      // the folder was read to its end
    NotAFolder,  // missing, not a folder, or not readable: a folder without files
    Failed,      // the listing itself failed (a device error, for example)
};

// Calls onName with the name (UTF-8 bytes on Windows, the raw bytes
// elsewhere) of every plain file directly in the folder, in the order the
// file system lists them. Plain files leave out folders, hidden and system
// files, and anything that is not a regular file (devices, pipes, broken
// links); links to files count as files. When the result is not Listed,
// error tells why.
ListingResult ListPlainFiles(const std::filesystem::path& folder,
                             const std::function<void(std::string_view name)>& onName, std::error_code& error);

// True when the path names a regular file (after following links) that is
// not a folder.
bool IsRegularFile(const std::filesystem::path& path);

} // namespace platform
