#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <system_error>

// The file operations whose meaning differs between Windows and POSIX.
namespace platform {

// A name or path as the file system holds it: bytes on POSIX, UTF-16 on
// Windows.
using NativeString = std::filesystem::path::string_type;
using NativeStringView = std::basic_string_view<std::filesystem::path::value_type>;

// Deletes a file (never a folder). True when it is gone.
bool RemoveFile(const std::filesystem::path& path);

// Removes the file (or, when folder, the empty folder) at a path below a
// folder, going only through real folders: a link put in the place of a
// folder on the way fails the removal rather than lead elsewhere, also when
// it is put there while the removal runs (POSIX). A read-only file goes too.
std::error_code RemoveBelow(const std::filesystem::path& folder, const std::filesystem::path& below, bool isFolder);

// "Set attributes to normal": clears read-only (and on Windows hidden,
// system and archive); on POSIX gives the owner write permission.
bool MakeNormal(const std::filesystem::path& path);

// Sets the hidden attribute where the file system keeps one (Windows, FAT
// through the Linux kernel); a name starting with "." hides a file on POSIX
// anyway. False when it could not be set where it is kept.
bool MarkHidden(const std::filesystem::path& path);

// True when the path names a regular file (after following links).
bool IsRegularFile(const std::filesystem::path& path);

// True for a folder that Windows keeps to itself: hidden and system (and
// maybe a reparse point) but nothing else. Never on POSIX.
bool IsProtectedFolder(const std::filesystem::path& path);

// The attribute flags, as Windows counts them.
inline constexpr int kReadOnly = 1;
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
inline constexpr int kArchive = 32;
inline constexpr int kReparsePoint = 1024;

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
    NativeString name;
    EntryKind kind = EntryKind::Other; // after following links
    bool link = false;                 // a symbolic link (on Windows, a reparse point)
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

// A regular file as one look saw it. Two looks that agree saw the same file,
// unchanged between them as far as its size and time tell.
struct FileState {
    FileId id;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // in the platform's own units
    bool operator==(const FileState&) const = default;
};

// The state of the regular file a path leads to; empty for anything else.
std::optional<FileState> RegularFileState(const std::filesystem::path& path);

// Told between the pieces of a large copy how many bytes are copied so far.
using CopyProgress = std::function<void(std::uint64_t copiedBytes)>;

// Why a copy failed. nameRefused: the destination's file system does not
// take the destination's name (FAT refuses "?", ":", "|" and others).
// sourceChanged: the source changed size or time while it was being copied
// (a file still being written), so what was read is neither its old nor its
// new content.
struct CopyFailure {
    std::error_code error;
    bool nameRefused = false;
    bool sourceChanged = false;
    explicit operator bool() const { return static_cast<bool>(error); }
};

// Copies a file's content, modification time and permissions to the
// destination. The copy is written to a temporary file beside the
// destination (where the file system allows, one without a name until it is
// whole) and takes the destination's name only when it is complete, so an
// existing destination (even a read-only one) is replaced at once or not at
// all, and a failed copy leaves nothing behind. A source that changes while
// it is copied fails the copy. Times and permissions are kept where the
// destination's file system allows; a file system that keeps none (FAT
// through FUSE) still gets the data. A large file is copied in pieces, with
// onProgress called between them. replacing says whether the destination
// exists: a new file can be written without a temporary name.
// The first copy of a process into a folder removes the temporary files that
// runs no longer alive left there (see TemporaryFileName).
CopyFailure CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                              bool replacing, const CopyProgress& onProgress = {});

class PreparedCopy;

// True where PrepareCopy can write copies ahead; elsewhere each copy is
// made at once by CopyFileReplacing.
bool CanPrepareCopies();

// The first half of CopyFileReplacing: writes the whole copy beside the
// destination, where it is not yet seen under the destination's name. May
// run on any thread.
CopyFailure PrepareCopy(const std::filesystem::path& source, const std::filesystem::path& destination,
                        PreparedCopy& prepared, const CopyProgress& onProgress = {});

// The second half: gives a prepared copy the destination's name, replacing
// what is there by the rules of CopyFileReplacing. Whether the source has
// changed since it was copied is the caller's to tell (PreparedCopy::Source).
// Fails when the run was abandoned meanwhile (RemoveUnfinishedCopies). The
// copy is spent either way.
CopyFailure CommitCopy(PreparedCopy& prepared, bool replacing);

// The same for a destination that should be new, in one step where it is
// new: the commit's outcome, or nothing (the copy still prepared) when a
// file has the name, or when that cannot be told without a look first.
std::optional<CopyFailure> CommitIfFree(PreparedCopy& prepared);

// A copy written ahead of its turn and not yet in place: an unnamed file
// (or one under a temporary name) beside the destination. Dropping it
// removes the copy.
class PreparedCopy {
public:
    PreparedCopy();
    ~PreparedCopy();
    PreparedCopy(PreparedCopy&&) noexcept;
    PreparedCopy& operator=(PreparedCopy&&) noexcept;
    PreparedCopy(const PreparedCopy&) = delete;
    PreparedCopy& operator=(const PreparedCopy&) = delete;

    // True while a copy is held for its commit.
    explicit operator bool() const { return state_ != nullptr; }
    // The file that was read, as it was when the copy was complete.
    FileState Source() const;

    struct State;

private:
    friend CopyFailure PrepareCopy(const std::filesystem::path&, const std::filesystem::path&, PreparedCopy&,
                                   const CopyProgress&);
    friend CopyFailure CommitCopy(PreparedCopy&, bool);
    friend std::optional<CopyFailure> CommitIfFree(PreparedCopy&);
    std::unique_ptr<State> state_;
};

// True when copies written to the folder's device side by side are slower
// than one after another: a rotational disk (not a virtual machine's, which
// says it is whatever lies behind it), or a FUSE file system.
bool WritesOneAtATime(const std::filesystem::path& folder);

// Asks the system to read a file into memory ahead of its copy, without
// waiting for it.
void ReadAheadHint(const std::filesystem::path& file);

// The name of a copy's temporary file: ".qvx-<host>-<process>-<count>.part".
// The host and the process id tell whether the run that wrote it is still
// alive; another host's temporary files, and those whose names carry no host
// and process, are never removed.
NativeString TemporaryFileName(std::uint64_t process, std::uint64_t count);

// Removes the temporary files that runs no longer alive left in the folder,
// once for each folder in this process, as the first copy into it does.
// Nothing else in the folder is touched.
void SweepDeadRunsTemporaries(const std::filesystem::path& folder);

// Removes the temporary files of copies still in progress, which then never
// finish: for a program that ends in the middle of one.
void RemoveUnfinishedCopies();

// A write past the file size limit (ulimit -f) fails with "File too large"
// instead of ending the program. Called once at start.
void FailWritesPastTheFileSizeLimit();

// What the copy run compares: a file's size and modification time.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0; // since 1970
    std::uint64_t number = 0;         // within its file system: the inode, or Windows' file index
    std::uint32_t modifiedNanoseconds = 0; // within its second, where the file system keeps them
};

// The facts of the regular file a path leads to; empty for anything else.
std::optional<FileFacts> FactsOf(const std::filesystem::path& path);
// FactsOf of a file named in a folder: for many files of one folder, the
// folder's path is not built again for each.
std::optional<FileFacts> FactsIn(const std::filesystem::path& folder, NativeStringView name);
// The same of the path itself: a link there is no regular file.
std::optional<FileFacts> FactsAt(const std::filesystem::path& path);

// Reads the first bytes of a regular file, up to edge, and as many of its
// last ones (those that the first did not take) into bytes: the file's
// facts as it was read, or nothing when it cannot be read.
std::optional<FileFacts> ReadFileEnds(const std::filesystem::path& path, std::size_t edge, std::vector<char>& bytes);

// Opens a file for reading; a descriptor of the C library, or -1 (errno
// tells why).
int OpenForReading(const std::filesystem::path& path);

// Which file system a path lies on; empty when it cannot be told.
std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path);

// True when flushing the whole file system that holds the folder reaches
// the device. Not so through FUSE, where each file must be flushed itself.
bool FlushesAsAWhole(const std::filesystem::path& folder);

// Writes what the file system holds in memory to its device: the whole file
// system that holds the folder, or one file.
std::error_code FlushFileSystem(const std::filesystem::path& folder);
std::error_code FlushFile(const std::filesystem::path& file);
// A folder's entries, where the file system writes them apart from its files.
std::error_code FlushFolder(const std::filesystem::path& folder);

// Writes a small file whole: bytes go to aside (a name beside the file,
// removed first, since some FUSE drivers do not empty a file opened to be
// written afresh), are flushed to the device, and aside then takes the
// file's name, so that at every moment the file is the old one or the new
// one, whole. The error is the failing system call's; aside is gone then.
std::error_code WriteFileWhole(const std::filesystem::path& file, const std::filesystem::path& aside,
                               std::string_view bytes);

// Ends the program at once, also while another thread waits in the kernel
// for a slow device: the program's windows go away with it.
[[noreturn]] void EndProcessNow();

// True when the error says that a folder cannot be read for permission.
bool IsPermissionDenied(const std::error_code& error);
// True when the error says that the path is missing or not a folder.
bool IsNotFound(const std::error_code& error);

} // namespace platform
