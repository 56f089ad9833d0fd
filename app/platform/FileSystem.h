#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The file operations whose meaning differs between Windows and POSIX.
namespace platform {

// Deletes a file (never a folder). True when it is gone.
bool RemoveFile(const std::filesystem::path& path);

// "Set attributes to normal": clears read-only (and on Windows hidden,
// system and archive); on POSIX gives the owner write permission.
bool MakeNormal(const std::filesystem::path& path);

// True when the path names a regular file (after following links).
bool IsRegularFile(const std::filesystem::path& path);

// True for a folder that Windows keeps to itself: hidden and system (and
// maybe a reparse point) but nothing else. Never on POSIX.
bool IsProtectedFolder(const std::filesystem::path& path);

// The attribute value of a file or folder as Windows counts it: read-only 1,
// hidden 2, system 4, directory 16, archive 32, reparse point 1024. On POSIX:
// read-only when the owner may not write, hidden for a name starting with
// ".", never system, archive for every regular file, reparse point for a
// link. -1 when the attributes cannot be read.
int FileAttributes(const std::filesystem::path& path);

// True for the root of a drive or of the file system.
bool IsRootFolder(const std::filesystem::path& path);

// Which file or folder a path leads to, whatever the path: links, hard
// links, "..", doubled separators, letter case on a case-insensitive file
// system and other writings of the same file give the same id.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileId&) const = default;
};

enum class EntryKind { File, Folder, Other };

struct FolderEntry {
    std::string name; // UTF-8 on Windows, the raw bytes elsewhere
    EntryKind kind = EntryKind::Other; // after following links
    bool hidden = false;
    bool system = false;
    // A folder that is hidden and system (and maybe a reparse point) but
    // nothing else: Windows keeps such folders to itself. Never on POSIX.
    bool protectedFolder = false;
};

// Reads the entries of one folder, in the order the file system lists them,
// without "." and "..". Each folder is read once; what the listing tells
// about an entry is not asked again.
class FolderReader {
public:
    explicit FolderReader(const std::filesystem::path& folder);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Set when the folder could not be opened.
    const std::error_code& OpenError() const { return openError_; }
    // Empty when the folder's id could not be read.
    const std::optional<FileId>& Id() const { return id_; }

    // The next entry; false at the end or on a failure (ReadError() tells).
    bool Next(FolderEntry& entry);
    const std::error_code& ReadError() const { return readError_; }

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::error_code openError_;
    std::error_code readError_;
    std::optional<FileId> id_;
};

// The id of the file or folder a path leads to (after following links);
// empty when there is none.
std::optional<FileId> IdOf(const std::filesystem::path& path);

// The id of the regular file a path leads to; empty for anything else.
std::optional<FileId> RegularFileId(const std::filesystem::path& path);

// Copies a file's content, modification time and permissions to the
// destination. The copy is written to a temporary file beside the
// destination and takes the destination's name only when it is complete, so
// an existing destination (even a read-only one) is replaced at once or not
// at all, and a failed copy leaves nothing behind. A large file is copied in
// pieces, with onProgress called between them. replacing says whether the
// destination exists: a new file can be written without a temporary name.
std::error_code CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                                  bool replacing, const std::function<void()>& onProgress = {});

// Removes the temporary files of copies still in progress: for a program
// that ends in the middle of one.
void RemoveUnfinishedCopies();

// True when the error says that a folder cannot be read for permission.
bool IsPermissionDenied(const std::error_code& error);
// True when the error says that the path is missing or not a folder.
bool IsNotFound(const std::error_code& error);

} // namespace platform
