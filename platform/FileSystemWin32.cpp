#include "platform/FileSystem.h"

#include "platform/CopyTemporaries.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FolderReader::Handle {
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data {};
    bool pending = false; // data holds an entry not yet handed out
    ~Handle()
    {
        if (search != INVALID_HANDLE_VALUE)
            ::FindClose(search);
    }
};

namespace {

// The attribute bits that the folder rules look at.
constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
    | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_COMPRESSED;
constexpr DWORD kProtected = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// What the file system tells of the file or folder a path leads to.
std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const std::filesystem::path& path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information {};
    const bool told = ::GetFileInformationByHandle(file, &information);
    ::CloseHandle(file);
    return told ? std::optional(information) : std::nullopt;
}

FileId IdIn(const BY_HANDLE_FILE_INFORMATION& information)
{
    return {information.dwVolumeSerialNumber, (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

std::optional<FileId> IdOfPath(const std::filesystem::path& path)
{
    const std::optional<BY_HANDLE_FILE_INFORMATION> information = InformationOf(path);
    return information ? std::optional(IdIn(*information)) : std::nullopt;
}

} // namespace

FolderReader::FolderReader(const std::filesystem::path& folder) : handle_(std::make_unique<Handle>())
{
    const std::wstring pattern = (folder / L"*").wstring();
    handle_->search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &handle_->data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle_->search == INVALID_HANDLE_VALUE) {
        openError_ = LastError();
        return;
    }
    handle_->pending = true;
    id_ = IdOfPath(folder);
}

FolderReader::~FolderReader() = default;

bool FolderReader::Next(FolderEntry& entry)
{
    if (handle_->search == INVALID_HANDLE_VALUE)
        return false;
    for (;;) {
        if (!handle_->pending) {
            if (!::FindNextFileW(handle_->search, &handle_->data)) {
                if (::GetLastError() != ERROR_NO_MORE_FILES)
                    readError_ = LastError();
                return false;
            }
        }
        handle_->pending = false;
        const std::wstring_view name(handle_->data.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const DWORD attributes = handle_->data.dwFileAttributes & kKnownAttributes;
        entry.name = handle_->data.cFileName;
        entry.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
        entry.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        entry.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        entry.protectedFolder = attributes == kProtected || attributes == (kProtected | FILE_ATTRIBUTE_REPARSE_POINT);
        return true;
    }
}

bool IsPermissionDenied(const std::error_code& error)
{
    return error.category() == std::system_category() && error.value() == ERROR_ACCESS_DENIED;
}

bool IsNotFound(const std::error_code& error)
{
    return error.category() == std::system_category()
        && (error.value() == ERROR_FILE_NOT_FOUND || error.value() == ERROR_PATH_NOT_FOUND
            || error.value() == ERROR_DIRECTORY || error.value() == ERROR_INVALID_NAME);
}

bool RemoveFile(const std::filesystem::path& path) { return ::DeleteFileW(path.c_str()) != 0; }

std::error_code RemoveBelow(const std::filesystem::path& folder, const std::filesystem::path& below, bool isFolder)
{
    // Each folder on the way is looked at first: a junction or a link is
    // no real folder.
    std::filesystem::path path = folder;
    for (auto name = below.begin(); name != below.end(); ++name) {
        path /= *name;
        if (std::next(name) == below.end())
            break;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return LastError();
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    }
    const auto remove = [&] { return isFolder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str()); };
    if (remove() || (MakeNormal(path) && remove()))
        return {};
    return LastError();
}

bool MakeNormal(const std::filesystem::path& path)
{
    return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool IsRegularFile(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<FileId> IdOf(const std::filesystem::path& path) { return IdOfPath(path); }

std::optional<FileState> RegularFileState(const std::filesystem::path& path)
{
    const std::optional<BY_HANDLE_FILE_INFORMATION> data = InformationOf(path);
    if (!data || (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return FileState {IdIn(*data), (std::uint64_t(data->nFileSizeHigh) << 32) | data->nFileSizeLow,
                      static_cast<std::int64_t>((ULONGLONG(data->ftLastWriteTime.dwHighDateTime) << 32)
                                                | data->ftLastWriteTime.dwLowDateTime)};
}

std::optional<FileId> RegularFileId(const std::filesystem::path& path)
{
    const std::optional<FileState> state = RegularFileState(path);
    return state ? std::optional(state->id) : std::nullopt;
}

const NativeString& temporaries::HostToken()
{
    static const std::wstring token = [] {
        std::array<wchar_t, 256> name {};
        DWORD size = static_cast<DWORD>(name.size());
        return HostNameToken(::GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size) ? name.data() : L"");
    }();
    return token;
}

std::uint64_t temporaries::CurrentProcess() { return ::GetCurrentProcessId(); }

bool temporaries::ProcessLives(std::uint64_t process)
{
    if (process == 0 || process > 0xFFFFFFFFull)
        return process == 0; // 0 names no run; an id past the largest cannot be one
    const HANDLE handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                        static_cast<DWORD>(process));
    if (handle == nullptr)
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // refused: it lives
    // An ended process lingers while a handle to it is open.
    const bool lives = ::WaitForSingleObject(handle, 0) != WAIT_OBJECT_0;
    ::CloseHandle(handle);
    return lives;
}

// Clears the attributes first: a temporary file takes the source's
// read-only attribute.
void temporaries::RemoveTemporaryFile(const std::filesystem::path& path)
{
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

namespace {

// Progress is told after each piece of this size, as on POSIX.
constexpr ULONGLONG kPieceSize = 8 * 1024 * 1024;

// Copies what is left to read of one open file into another, telling the
// progress between pieces. Not CopyFileEx: Wine's never calls its progress
// routine, so a large copy would freeze the window and could not be
// abandoned.
bool CopyContent(HANDLE in, HANDLE out, const CopyProgress& onProgress)
{
    std::vector<char> buffer(1024 * 1024);
    ULONGLONG copied = 0;
    ULONGLONG sinceProgress = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            return true;
        for (DWORD written = 0; written < got;) {
            DWORD now = 0;
            if (!::WriteFile(out, buffer.data() + written, got - written, &now, nullptr))
                return false;
            if (now == 0) {
                ::SetLastError(ERROR_WRITE_FAULT); // else the failure would read as success
                return false;
            }
            written += now;
        }
        copied += got;
        sinceProgress += got;
        if (onProgress && sinceProgress >= kPieceSize) {
            onProgress(copied);
            sinceProgress = 0;
        }
    }
}

// The errors by which Windows refuses a name.
bool IsNameRefused(const std::error_code& error)
{
    return error.value() == ERROR_INVALID_NAME || error.value() == ERROR_BAD_PATHNAME
        || error.value() == ERROR_FILENAME_EXCED_RANGE || error.value() == ERROR_DIRECTORY;
}

// A file's size and last write time, read from an open handle.
struct OpenFileFacts {
    ULONGLONG size = 0;
    ULONGLONG written = 0;
    bool operator==(const OpenFileFacts&) const = default;
};

std::optional<OpenFileFacts> FactsOfHandle(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION data {};
    if (!::GetFileInformationByHandle(file, &data))
        return std::nullopt;
    return OpenFileFacts {(ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                          (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime};
}

// True when the copy is not the source as it was opened: another size than
// the source had then, or a size or write time of the source that has
// changed since.
bool SourceChanged(HANDLE source, const OpenFileFacts& opened, const std::filesystem::path& copy)
{
    const std::optional<OpenFileFacts> now = FactsOfHandle(source);
    WIN32_FILE_ATTRIBUTE_DATA copied {};
    if (!now || !::GetFileAttributesExW(copy.c_str(), GetFileExInfoStandard, &copied))
        return true;
    const ULONGLONG copiedSize = (ULONGLONG(copied.nFileSizeHigh) << 32) | copied.nFileSizeLow;
    return *now != opened || copiedSize != opened.size;
}

// Closes a handle however the copy ends.
struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() { ::CloseHandle(handle); }
};

} // namespace

CopyFailure CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                              bool, const CopyProgress& onProgress)
{
    const unsigned abandonedBefore = temporaries::Abandonments();
    // Read through, and held open during the copy to see whether the source
    // changes meanwhile.
    const HANDLE held = ::CreateFileW(source.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return {LastError()};
    const HandleCloser closer {held};
    const std::optional<OpenFileFacts> opened = FactsOfHandle(held);
    BY_HANDLE_FILE_INFORMATION from {};
    if (!opened || !::GetFileInformationByHandle(held, &from))
        return {LastError()};
    temporaries::SweepOnce(destination);

    std::filesystem::path temporary = destination;
    temporary.replace_filename(temporaries::NextName());
    temporaries::Register(temporary);
    const auto discard = [&] {
        temporaries::RemoveTemporaryFile(temporary);
        temporaries::Unregister(temporary);
    };
    // The copy takes the source's content, attributes and modification
    // time. Sharing delete lets an abandoned copy be removed while written.
    const DWORD attributes =
        from.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    const HANDLE out = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     CREATE_NEW, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    bool whole = out != INVALID_HANDLE_VALUE && CopyContent(held, out, onProgress)
        && ::SetFileTime(out, nullptr, nullptr, &from.ftLastWriteTime);
    std::error_code error = whole ? std::error_code() : LastError();
    if (out != INVALID_HANDLE_VALUE && !::CloseHandle(out) && whole) {
        whole = false;
        error = LastError();
    }
    if (!whole) {
        discard();
        return {error};
    }
    if (SourceChanged(held, *opened, temporary)) {
        discard();
        return {std::make_error_code(std::errc::resource_unavailable_try_again), false, true};
    }
    if (temporaries::Abandonments() != abandonedBefore) {
        discard();
        return {std::make_error_code(std::errc::operation_canceled)};
    }
    // A read-only destination would refuse to be replaced; it gets its
    // attributes back if the replacement fails.
    const DWORD oldAttributes = ::GetFileAttributesW(destination.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES)
        ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const std::error_code error = LastError();
        if (oldAttributes != INVALID_FILE_ATTRIBUTES)
            ::SetFileAttributesW(destination.c_str(), oldAttributes);
        discard();
        return {error, IsNameRefused(error)};
    }
    temporaries::Unregister(temporary);
    return {};
}

// Copies are made at once here: CopyFileReplacing writes and names each.
struct PreparedCopy::State {};

PreparedCopy::PreparedCopy() = default;
PreparedCopy::~PreparedCopy() = default;
PreparedCopy::PreparedCopy(PreparedCopy&&) noexcept = default;
PreparedCopy& PreparedCopy::operator=(PreparedCopy&&) noexcept = default;

FileState PreparedCopy::Source() const { return {}; }

bool CanPrepareCopies() { return false; }

CopyFailure PrepareCopy(const std::filesystem::path&, const std::filesystem::path&, PreparedCopy& prepared,
                        const CopyProgress&)
{
    prepared.state_.reset();
    return {std::make_error_code(std::errc::operation_not_supported)};
}

std::optional<CopyFailure> CommitIfFree(PreparedCopy&) { return std::nullopt; }

CopyFailure CommitCopy(PreparedCopy& prepared, bool)
{
    prepared.state_.reset();
    return {std::make_error_code(std::errc::operation_not_supported)};
}

bool WritesOneAtATime(const std::filesystem::path&) { return false; }

void ReadAheadHint(const std::filesystem::path&) {}

// Windows has no file size limit signal: a write past a limit fails.
void FailWritesPastTheFileSizeLimit() {}

bool MarkHidden(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
        && ::SetFileAttributesW(path.c_str(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
}

bool IsProtectedFolder(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD known = attributes & kKnownAttributes;
    return known == kProtected || known == (kProtected | FILE_ATTRIBUTE_REPARSE_POINT);
}

int FileAttributes(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return -1;
    return static_cast<int>(attributes & kKnownAttributes);
}

bool IsRootFolder(const std::filesystem::path& path)
{
    const std::filesystem::path root = path.root_path();
    return !root.empty() && (path == root || path.relative_path().empty() || path.relative_path() == L"\\");
}

namespace {

// The facts of the file a handle opened; empty for a folder, and where a
// link's own handle was opened, for a link.
std::optional<FileFacts> FileFactsOfHandle(HANDLE file, DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY)
{
    BY_HANDLE_FILE_INFORMATION data {};
    if (!::GetFileInformationByHandle(file, &data) || (data.dwFileAttributes & notAFile) != 0)
        return std::nullopt;
    // File times count 100 ns steps from 1601.
    const std::uint64_t ticks = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    return FileFacts {(std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                      static_cast<std::int64_t>(ticks / 10000000) - kSecondsFrom1601To1970, IdIn(data).index,
                      static_cast<std::uint32_t>(ticks % 10000000) * 100};
}

std::optional<FileFacts> FactsOpening(const std::filesystem::path& path, DWORD flags)
{
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<FileFacts> facts = FileFactsOfHandle(
        file, FILE_ATTRIBUTE_DIRECTORY | ((flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0 ? FILE_ATTRIBUTE_REPARSE_POINT : 0));
    ::CloseHandle(file);
    return facts;
}

} // namespace

std::optional<FileFacts> ReadFileEnds(const std::filesystem::path& path, std::size_t edge, std::vector<char>& bytes)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<FileFacts> facts = FileFactsOfHandle(file);
    bool read = facts.has_value();
    const std::uint64_t size = facts ? facts->size : 0;
    const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(size, edge));
    const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size - head, edge));
    bytes.resize(head + tail);
    const auto readAt = [file](char* into, std::size_t count, std::uint64_t at) {
        while (count > 0) {
            OVERLAPPED where {};
            where.Offset = static_cast<DWORD>(at);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD got = 0;
            if (!::ReadFile(file, into, static_cast<DWORD>(count), &got, &where) || got == 0)
                return false;
            into += got;
            count -= got;
            at += got;
        }
        return true;
    };
    read = read && readAt(bytes.data(), head, 0) && readAt(bytes.data() + head, tail, size - tail);
    ::CloseHandle(file);
    return read ? facts : std::nullopt;
}


std::optional<FileFacts> FactsOf(const std::filesystem::path& path)
{
    // Opened, so that a link tells of the file it leads to.
    return FactsOpening(path, 0);
}

std::optional<FileFacts> FactsIn(const std::filesystem::path& folder, NativeStringView name)
{
    return FactsOf(folder / NativeString(name));
}

std::optional<FileFacts> FactsAt(const std::filesystem::path& path)
{
    return FactsOpening(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

int OpenForReading(const std::filesystem::path& path)
{
    return ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path)
{
    const std::optional<FileId> id = IdOfPath(path);
    if (!id)
        return std::nullopt;
    return id->device;
}

// Flushing a whole volume needs an administrator; every file is flushed instead.
bool FlushesAsAWhole(const std::filesystem::path&) { return false; }

std::error_code FlushFileSystem(const std::filesystem::path&)
{
    return std::make_error_code(std::errc::function_not_supported);
}

std::error_code FlushFile(const std::filesystem::path& file)
{
    // Flushing needs write access, which a read-only copy refuses until its
    // attribute is lifted for the moment.
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly)
        ::SetFileAttributesW(file.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::error_code error;
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
    } else {
        if (!::FlushFileBuffers(handle))
            error = LastError();
        ::CloseHandle(handle);
    }
    if (readOnly)
        ::SetFileAttributesW(file.c_str(), attributes);
    return error;
}

// Windows writes a folder's entries with the files.
std::error_code FlushFolder(const std::filesystem::path&) { return {}; }

std::error_code WriteFileWhole(const std::filesystem::path& file, const std::filesystem::path& aside,
                               std::string_view bytes)
{
    const auto failed = [&aside](std::error_code error) {
        ::DeleteFileW(aside.c_str());
        return error;
    };
    // One a stopped run left goes first (CREATE_ALWAYS would refuse a hidden one).
    ::DeleteFileW(aside.c_str());
    const HANDLE out = ::CreateFileW(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return LastError();
    std::error_code error;
    while (!error && !bytes.empty()) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(out, bytes.data(), piece, &written, nullptr))
            error = LastError();
        bytes.remove_prefix(written);
    }
    if (!error && !::FlushFileBuffers(out))
        error = LastError();
    if (!::CloseHandle(out) && !error)
        error = LastError();
    if (!error && !::MoveFileExW(aside.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = LastError();
    return error ? failed(error) : std::error_code();
}

void EndProcessNow()
{
    // Ends every thread, also one that waits for a slow device.
    ::TerminateProcess(::GetCurrentProcess(), 0);
    ::_exit(0);
}

} // namespace platform
