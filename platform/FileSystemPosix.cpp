#include "platform/FileSystem.h"

#include "platform/CopyTemporaries.h"
#include "platform/Descriptor.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <limits>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif
#include <vector>

namespace platform {

struct FolderReader::Handle {
    DIR* stream = nullptr;
    ~Handle()
    {
        if (stream != nullptr)
            ::closedir(stream);
    }
};

namespace {

EntryKind KindOf(const struct stat& status)
{
    if (S_ISREG(status.st_mode))
        return EntryKind::File;
    if (S_ISDIR(status.st_mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

// The listing's type where it gives one; a link (or an unknown type) is
// followed with one stat.
EntryKind KindOf(DIR* folder, const dirent& entry, bool& link)
{
    link = entry.d_type == DT_LNK;
    switch (entry.d_type) {
    case DT_REG: return EntryKind::File;
    case DT_DIR: return EntryKind::Folder;
    case DT_UNKNOWN: {
        struct stat own {};
        link = ::fstatat(::dirfd(folder), entry.d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
        [[fallthrough]];
    }
    case DT_LNK: {
        struct stat status {};
        if (::fstatat(::dirfd(folder), entry.d_name, &status, 0) != 0)
            return EntryKind::Other;
        return KindOf(status);
    }
    default: return EntryKind::Other;
    }
}

std::error_code LastError() { return {errno, std::generic_category()}; }

} // namespace

FolderReader::FolderReader(const std::filesystem::path& folder) : handle_(std::make_unique<Handle>())
{
    handle_->stream = ::opendir(folder.c_str());
    if (handle_->stream == nullptr) {
        openError_ = LastError();
        return;
    }
    struct stat status {};
    if (::fstat(::dirfd(handle_->stream), &status) == 0)
        id_ = FileId {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

FolderReader::~FolderReader() = default;

bool FolderReader::Next(FolderEntry& entry)
{
    if (handle_->stream == nullptr)
        return false;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(handle_->stream);
        if (found == nullptr) {
            if (errno != 0)
                readError_ = LastError();
            return false;
        }
        const std::string_view name(found->d_name);
        if (name == "." || name == "..")
            continue;
        entry.name.assign(name);
        entry.kind = KindOf(handle_->stream, *found, entry.link);
        entry.hidden = name.front() == '.';
        entry.system = false;
        entry.protectedFolder = false;
        return true;
    }
}

bool IsPermissionDenied(const std::error_code& error)
{
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
}

bool IsNotFound(const std::error_code& error)
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

bool RemoveFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

std::error_code RemoveBelow(const std::filesystem::path& folder, const std::filesystem::path& below, bool isFolder)
{
    // A name in the folder itself has no folder on the way.
    if (!below.empty() && std::next(below.begin()) == below.end()) {
        if (::unlinkat(AT_FDCWD, (folder / below).c_str(), isFolder ? AT_REMOVEDIR : 0) != 0)
            return LastError();
        return {};
    }
    // Each folder on the way is opened from the one before, never
    // following a link; the last name is removed from the last of them.
    Descriptor at(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (at.get() < 0)
        return LastError();
    const std::vector<std::filesystem::path> names(below.begin(), below.end());
    for (std::size_t name = 0; name + 1 < names.size(); ++name) {
        at.Reset(::openat(at.get(), names[name].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (at.get() < 0)
            return LastError();
    }
    if (!names.empty() && ::unlinkat(at.get(), names.back().c_str(), isFolder ? AT_REMOVEDIR : 0) != 0)
        return LastError();
    return {};
}

bool MakeNormal(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return false;
    if (S_ISLNK(status.st_mode))
        return true; // a link has no permissions of its own
    return ::chmod(path.c_str(), status.st_mode | S_IWUSR) == 0;
}

bool MarkHidden(const std::filesystem::path& path)
{
#ifdef __linux__
    const int file = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return false;
    std::uint32_t attributes = 0;
    bool marked = true;
    // Only the kernel's FAT driver knows the attribute; elsewhere the dot hides it.
    if (::ioctl(file, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0) {
        attributes |= ATTR_HIDDEN;
        marked = ::ioctl(file, FAT_IOCTL_SET_ATTRIBUTES, &attributes) == 0;
    }
    ::close(file);
    return marked;
#else
    static_cast<void>(path);
    return true;
#endif
}

bool IsRegularFile(const std::filesystem::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsProtectedFolder(const std::filesystem::path&) { return false; }

int FileAttributes(const std::filesystem::path& path)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0)
        return -1;
    struct stat status = link;
    if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &status) != 0)
        status = link;
    int attributes = 0;
    if ((status.st_mode & S_IWUSR) == 0)
        attributes |= 1;
    const std::string name = path.filename().string();
    if (!name.empty() && name.front() == '.')
        attributes |= 2;
    if (S_ISDIR(status.st_mode))
        attributes |= 16;
    if (S_ISREG(status.st_mode))
        attributes |= 32;
    if (S_ISLNK(link.st_mode))
        attributes |= 1024;
    return attributes;
}

bool IsRootFolder(const std::filesystem::path& path)
{
    const std::string& text = path.native();
    return !text.empty() && text.find_first_not_of('/') == std::string::npos;
}

std::optional<FileId> IdOf(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return FileId {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

namespace {

FileState StateOf(const struct stat& status)
{
    return {{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
            static_cast<std::uint64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

} // namespace

std::optional<FileState> RegularFileState(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return StateOf(status);
}

std::optional<FileId> RegularFileId(const std::filesystem::path& path)
{
    const std::optional<FileState> state = RegularFileState(path);
    return state ? std::optional(state->id) : std::nullopt;
}

namespace {

#ifdef O_TMPFILE
// Gives an unnamed file a name: by its descriptor where the kernel lets this
// process (a path walk less), otherwise through /proc.
int LinkUnnamed(int fd, const char* name)
{
    static std::atomic<bool> byDescriptor {true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL)
            return -1;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW);
    if (linked == 0)
        byDescriptor.store(false, std::memory_order_relaxed); // refused by descriptor alone
    return linked;
}
#endif

} // namespace

// A run in a process namespace of its own (a sandbox) shares the host's name
// but not its process ids, so it tells its namespace too.
const NativeString& temporaries::HostToken()
{
    static const std::string token = [] {
        std::array<char, 256> name {};
        std::string host = HostNameToken(::gethostname(name.data(), name.size() - 1) == 0 ? name.data() : "");
#ifdef __linux__
        constexpr ino_t kInitialProcessNamespace = 0xEFFFFFFC;
        struct stat space {};
        if (::stat("/proc/self/ns/pid", &space) == 0 && space.st_ino != kInitialProcessNamespace)
            host += '~' + std::to_string(space.st_ino);
#endif
        return host;
    }();
    return token;
}

std::uint64_t temporaries::CurrentProcess() { return static_cast<std::uint64_t>(::getpid()); }

bool temporaries::ProcessLives(std::uint64_t process)
{
    if (process == 0 || process > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max()))
        return process == 0; // 0 names no run; an id past the largest cannot be one
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno != ESRCH;
}

void temporaries::RemoveTemporaryFile(const std::filesystem::path& path) { ::unlink(path.c_str()); }

namespace {

// Registered before it exists and removed before it is forgotten, so that
// the sweep of dead runs' temporaries never takes one of this process's.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile()
    {
        if (!path_.empty()) {
            const int error = errno; // the failure that ends the copy
            ::unlink(path_.c_str());
            temporaries::Unregister(path_);
            errno = error;
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates "<folder>/.qvx-<host>-<process>-<count>.part", owner-only until
    // finished. The name is short, so that it fits wherever the
    // destination's name fits.
    int Create(const std::filesystem::path& destination)
    {
        const unsigned abandonedBefore = temporaries::Abandonments();
        const int fd = Make(destination, [](const std::filesystem::path& candidate) {
            return ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        });
        // Made on a worker just as the run was abandoned, the file would
        // outlive the removal of unfinished copies.
        if (fd >= 0 && temporaries::Abandonments() != abandonedBefore) {
            ::close(fd);
            ::unlink(path_.c_str());
            temporaries::Unregister(path_);
            path_.clear();
            errno = ECANCELED;
            return -1;
        }
        return fd;
    }

#ifdef O_TMPFILE
    // Gives a finished unnamed file such a name.
    bool Name(int fd, const std::filesystem::path& destination)
    {
        return Make(destination,
                    [fd](const std::filesystem::path& candidate) { return LinkUnnamed(fd, candidate.c_str()); })
            >= 0;
    }
#endif

    const std::filesystem::path& Path() const { return path_; }

    // The temporary file has been renamed: nothing is left to remove.
    void Keep()
    {
        temporaries::Unregister(path_);
        path_.clear();
    }

private:
    // Tries fresh names until one is free; make returns -1 and sets errno
    // when it fails.
    template <typename MakeFile>
    int Make(const std::filesystem::path& destination, MakeFile make)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate = destination;
            candidate.replace_filename(temporaries::NextName());
            temporaries::Register(candidate);
            const int result = make(candidate);
            if (result >= 0) {
                path_ = std::move(candidate);
                return result;
            }
            const int error = errno;
            temporaries::Unregister(candidate);
            if (error != EEXIST) {
                errno = error;
                return -1;
            }
        }
        errno = EEXIST;
        return -1;
    }

    std::filesystem::path path_;
};

// Small enough that the window is told of progress every few milliseconds.
constexpr off_t kPieceSize = 8 * 1024 * 1024;

// A file smaller than this is left to the flush that ends the run, which
// writes neighbouring small files in one request; starting each on its own
// costs more than the wait it saves.
constexpr std::uint64_t kWriteBackFrom = 64 * 1024;

// Asks the disk to start writing the bytes of out from `from` on, without
// waiting: the flush that ends the run then waits for little more than the
// last few files, and a large file's pieces go out while the next are read.
void StartWriteBack(int out, std::uint64_t& from, std::uint64_t to)
{
#ifdef SYNC_FILE_RANGE_WRITE
    if (to > from && to >= kWriteBackFrom)
        static_cast<void>(::sync_file_range(out, static_cast<off_t>(from), static_cast<off_t>(to - from),
                                            SYNC_FILE_RANGE_WRITE));
#else
    static_cast<void>(out);
#endif
    from = to;
}

// Copies the whole content: in the kernel where it can, by reading and
// writing where it cannot (another file system, an old kernel). copied
// tells how many bytes were written.
bool CopyContent(int in, int out, off_t size, const CopyProgress& onProgress, std::uint64_t& copied)
{
    copied = 0;
    std::uint64_t writing = 0; // written back from here on
#ifdef __linux__
    off_t left = size;
    while (left > 0) {
        const ssize_t piece = ::copy_file_range(in, nullptr, out, nullptr,
                                                 static_cast<std::size_t>(std::min(left, kPieceSize)), 0);
        if (piece > 0) {
            left -= piece;
            copied += static_cast<std::uint64_t>(piece);
            StartWriteBack(out, writing, copied);
            if (left == 0)
                return true;
            if (onProgress)
                onProgress(copied);
            continue;
        }
        if (piece == 0)
            break; // some files tell a size they do not give this way: read on
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        break;
    }
#else
    static_cast<void>(size);
#endif
    std::vector<char> buffer(128 * 1024);
    off_t sinceProgress = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) {
            StartWriteBack(out, writing, copied);
            return true;
        }
        sinceProgress += got > 0 ? got : 0;
        if (onProgress && sinceProgress >= kPieceSize) {
            StartWriteBack(out, writing, copied);
            onProgress(copied + static_cast<std::uint64_t>(got));
            sinceProgress = 0;
        }
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t now = ::write(out, buffer.data() + written, static_cast<std::size_t>(got - written));
            if (now < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            written += now;
            copied += static_cast<std::uint64_t>(now);
        }
    }
}

// True when the copy is not the source as it was opened: fewer or more
// bytes than its size then, or a size or modification time that has changed
// since. A file that tells no size (as those of /proc) is whole when it ends.
bool SourceChanged(int in, const struct stat& opened, std::uint64_t copied)
{
    struct stat now {};
    if (::fstat(in, &now) != 0)
        return true;
    const bool sameFacts = now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec
        && now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
    const bool wholeCount = copied == static_cast<std::uint64_t>(opened.st_size) || opened.st_size == 0;
    return !sameFacts || !wholeCount;
}

CopyFailure SourceChangedFailure()
{
    return {std::make_error_code(std::errc::resource_unavailable_try_again), false, true};
}

// The run that began the copy is ending: the copy must not take its name.
CopyFailure AbandonedFailure() { return {std::make_error_code(std::errc::operation_canceled)}; }

#ifdef O_TMPFILE
// A file opened without a name can be named through /proc once complete.
bool CanNameUnnamedFiles()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// An unnamed file in the destination's folder; -1 where the file system
// cannot make one (the caller then uses a named temporary file).
int OpenUnnamed(const std::filesystem::path& destination)
{
    if (!CanNameUnnamedFiles()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    std::filesystem::path folder = destination.parent_path();
    if (folder.empty())
        folder = ".";
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// Gives the finished unnamed file the destination's name. Should the
// destination have appeared meanwhile (a copy started during this one's
// yields), the file takes a temporary name and replaces it.
bool NameUnnamed(int fd, const std::filesystem::path& destination)
{
    if (LinkUnnamed(fd, destination.c_str()) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    TemporaryFile temporary;
    if (!temporary.Name(fd, destination) || ::rename(temporary.Path().c_str(), destination.c_str()) != 0)
        return false;
    temporary.Keep();
    return true;
}
#endif

// Carries the source's permission bits over to the copy, where the file
// system keeps them: as with cp, a copy whose permissions cannot be kept is
// still a copy. No set-user-ID, set-group-ID or sticky bit comes along.
void CopyPermissions(int out, const struct stat& source) { static_cast<void>(::fchmod(out, source.st_mode & 0777)); }

// Gives the finished, named copy the source's times, where the file system
// keeps them. Set by name once the copy is closed: some FUSE file systems
// stamp a file with the time of its closing.
void CopyTimes(const std::filesystem::path& destination, const struct stat& source)
{
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    static_cast<void>(::utimensat(AT_FDCWD, destination.c_str(), times, 0));
}

void CopyTimes(int out, const struct stat& source)
{
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    static_cast<void>(::futimens(out, times));
}

// The error of the last call; at the step that gives the copy its name, the
// errors by which a file system refuses a name mark the name as refused.
CopyFailure LastCopyError(bool naming = false)
{
    const int error = errno;
    const bool refused = naming && (error == EINVAL || error == EPERM || error == EILSEQ || error == ENAMETOOLONG);
    return {{error, std::generic_category()}, refused};
}

} // namespace

struct PreparedCopy::State {
    std::filesystem::path destination;
    struct stat status {}; // the source's
    std::uint64_t copied = 0;
    unsigned abandonedBefore = 0;
    Descriptor out;          // an unnamed copy, open until it takes a name
    TemporaryFile temporary; // or a closed copy under a temporary name
};

PreparedCopy::PreparedCopy() = default;
PreparedCopy::~PreparedCopy() = default;
PreparedCopy::PreparedCopy(PreparedCopy&&) noexcept = default;
PreparedCopy& PreparedCopy::operator=(PreparedCopy&&) noexcept = default;

FileState PreparedCopy::Source() const { return state_ ? StateOf(state_->status) : FileState {}; }

bool CanPrepareCopies() { return true; }

CopyFailure PrepareCopy(const std::filesystem::path& source, const std::filesystem::path& destination,
                        PreparedCopy& prepared, const CopyProgress& onProgress)
{
    prepared.state_.reset();
    auto state = std::make_unique<PreparedCopy::State>();
    state->destination = destination;
    state->abandonedBefore = temporaries::Abandonments();
    // Not blocked by a named pipe that took the file's place: it is refused
    // below, as anything else that is no regular file.
    const Descriptor reading(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const int in = reading.get();
    if (in < 0)
        return LastCopyError();
    if (::fstat(in, &state->status) != 0)
        return LastCopyError();
    if (!S_ISREG(state->status.st_mode))
        return {std::make_error_code(std::errc::invalid_argument)};
    temporaries::SweepOnce(destination);

#ifdef O_TMPFILE
    // The copy is written without a name and named when committed: nothing
    // half-made ever shows, even if the program or the machine stops.
    state->out.Reset(OpenUnnamed(destination));
    if (state->out.get() < 0 && (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS))
        return LastCopyError();
#endif
    // Elsewhere the copy is written under a temporary name beside the
    // destination and renamed when committed.
    const bool named = state->out.get() < 0;
    if (named) {
        state->out.Reset(state->temporary.Create(destination));
        if (state->out.get() < 0)
            return LastCopyError();
    }
    if (!CopyContent(in, state->out.get(), state->status.st_size, onProgress, state->copied))
        return LastCopyError();
    if (SourceChanged(in, state->status, state->copied))
        return SourceChangedFailure();
    CopyPermissions(state->out.get(), state->status);
    // An unnamed copy (made only by the kernel's own file systems, which
    // keep a time set before the close) takes the source's times here, off
    // the committing thread; a named one takes them by name once closed.
    if (!named)
        CopyTimes(state->out.get(), state->status);
    if (named && !state->out.Close())
        return LastCopyError();
    prepared.state_ = std::move(state);
    return {};
}

CopyFailure CommitCopy(PreparedCopy& prepared, bool replacing)
{
    const std::unique_ptr<PreparedCopy::State> state = std::move(prepared.state_);
    if (!state)
        return {std::make_error_code(std::errc::invalid_argument)};
    const std::filesystem::path& destination = state->destination;
    if (temporaries::Abandonments() != state->abandonedBefore)
        return AbandonedFailure();
#ifdef O_TMPFILE
    // A new file takes its name at once; a replacement takes a temporary
    // name first and is renamed over the old file.
    Descriptor& unnamed = state->out;
    if (unnamed.get() >= 0) {
        if (replacing) {
            TemporaryFile temporary;
            if (!temporary.Name(unnamed.get(), destination))
                return LastCopyError();
            if (!unnamed.Close())
                return LastCopyError();
            if (::rename(temporary.Path().c_str(), destination.c_str()) != 0)
                return LastCopyError(true);
            temporary.Keep();
        } else {
            if (!NameUnnamed(unnamed.get(), destination))
                return LastCopyError(true);
            if (!unnamed.Close()) {
                // The data may not all have reached the disk: take the name back.
                const CopyFailure failure = LastCopyError();
                ::unlink(destination.c_str());
                return failure;
            }
        }
        return {};
    }
#else
    static_cast<void>(replacing);
#endif
    if (::rename(state->temporary.Path().c_str(), destination.c_str()) != 0)
        return LastCopyError(true);
    state->temporary.Keep();
    CopyTimes(destination, state->status);
    return {};
}

std::optional<CopyFailure> CommitIfFree(PreparedCopy& prepared)
{
#ifdef O_TMPFILE
    // A copy under a temporary name would replace what has the name.
    if (!prepared.state_ || prepared.state_->out.get() < 0)
        return std::nullopt;
    PreparedCopy::State& state = *prepared.state_;
    if (temporaries::Abandonments() != state.abandonedBefore) {
        prepared.state_.reset();
        return AbandonedFailure();
    }
    if (LinkUnnamed(state.out.get(), state.destination.c_str()) != 0) {
        if (errno == EEXIST)
            return std::nullopt;
        const CopyFailure failure = LastCopyError(true);
        prepared.state_.reset();
        return failure;
    }
    const std::unique_ptr<PreparedCopy::State> named = std::move(prepared.state_);
    if (!named->out.Close()) {
        // The data may not all have reached the disk: take the name back.
        const CopyFailure failure = LastCopyError();
        ::unlink(named->destination.c_str());
        return failure;
    }
    return CopyFailure {};
#else
    static_cast<void>(prepared);
    return std::nullopt;
#endif
}

CopyFailure CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination,
                              bool replacing, const CopyProgress& onProgress)
{
    PreparedCopy prepared;
    if (const CopyFailure failure = PrepareCopy(source, destination, prepared, onProgress))
        return failure;
    return CommitCopy(prepared, replacing);
}

bool WritesOneAtATime(const std::filesystem::path& folder)
{
#ifdef __linux__
    constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
    struct statfs facts {};
    if (::statfs(folder.c_str(), &facts) == 0 && facts.f_type == kFuseMagic)
        return true;
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return false;
    // A partition has no queue of its own: its disk's is one folder up.
    const std::string device = "/sys/dev/block/" + std::to_string(major(status.st_dev)) + ':'
        + std::to_string(minor(status.st_dev));
    // A virtual machine's disk calls itself rotational whatever lies behind
    // it; its host orders the writes.
    std::error_code error;
    const std::string real = std::filesystem::canonical(device, error).string();
    if (real.find("/virtio") != std::string::npos || real.find("/xen") != std::string::npos)
        return false;
    for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
        Descriptor flag(::open((device + queue).c_str(), O_RDONLY | O_CLOEXEC));
        char value = 0;
        if (flag.get() >= 0 && ::read(flag.get(), &value, 1) == 1)
            return value == '1';
    }
    return false;
#else
    static_cast<void>(folder);
    return false;
#endif
}

void ReadAheadHint(const std::filesystem::path& file)
{
    // Without waiting for a writer, should the file have become a pipe.
    const Descriptor in(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
#ifdef POSIX_FADV_WILLNEED
    if (in.get() >= 0)
        static_cast<void>(::posix_fadvise(in.get(), 0, 0, POSIX_FADV_WILLNEED));
#endif
}

void FailWritesPastTheFileSizeLimit() { std::signal(SIGXFSZ, SIG_IGN); }

namespace {

std::optional<FileFacts> FactsOfStatus(const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return std::nullopt;
    return FileFacts {static_cast<std::uint64_t>(status.st_size), static_cast<std::int64_t>(status.st_mtim.tv_sec),
                      static_cast<std::uint64_t>(status.st_ino), static_cast<std::uint32_t>(status.st_mtim.tv_nsec)};
}

} // namespace

std::optional<FileFacts> ReadFileEnds(const std::filesystem::path& path, std::size_t edge, std::vector<char>& bytes)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    const std::optional<FileFacts> facts =
        file.get() >= 0 && ::fstat(file.get(), &status) == 0 ? FactsOfStatus(status) : std::nullopt;
    if (!facts)
        return std::nullopt;
    const std::uint64_t size = facts->size;
    const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(size, edge));
    const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size - head, edge));
    bytes.resize(head + tail);
    const auto readAt = [&file](char* into, std::size_t count, std::uint64_t at) {
        while (count > 0) {
            const ssize_t got = ::pread(file.get(), into, count, static_cast<off_t>(at));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            into += got;
            count -= static_cast<std::size_t>(got);
            at += static_cast<std::uint64_t>(got);
        }
        return true;
    };
    if (!readAt(bytes.data(), head, 0) || !readAt(bytes.data() + head, tail, size - tail))
        return std::nullopt;
    return facts;
}


std::optional<FileFacts> FactsOf(const std::filesystem::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? FactsOfStatus(status) : std::nullopt;
}

std::optional<FileFacts> FactsIn(const std::filesystem::path& folder, NativeStringView name)
{
    thread_local std::string path;
    path.assign(folder.native());
    if (path.empty() || path.back() != '/')
        path += '/';
    path.append(name);
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? FactsOfStatus(status) : std::nullopt;
}

std::optional<FileFacts> FactsAt(const std::filesystem::path& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? FactsOfStatus(status) : std::nullopt;
}

int OpenForReading(const std::filesystem::path& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_dev);
}

bool FlushesAsAWhole(const std::filesystem::path& folder)
{
#ifdef __linux__
    // A FUSE file system answers the kernel's flush of the whole file system
    // without passing it on to its device.
    constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
    struct statfs facts {};
    return ::statfs(folder.c_str(), &facts) == 0 && facts.f_type != kFuseMagic;
#else
    static_cast<void>(folder);
    return false;
#endif
}

std::error_code FlushFileSystem(const std::filesystem::path& folder)
{
#ifdef __linux__
    Descriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.get() < 0 || ::syncfs(handle.get()) != 0)
        return {errno, std::generic_category()};
    return {};
#else
    static_cast<void>(folder);
    return std::make_error_code(std::errc::function_not_supported);
#endif
}

std::error_code FlushFile(const std::filesystem::path& file)
{
    Descriptor handle(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (handle.get() < 0 || ::fsync(handle.get()) != 0)
        return {errno, std::generic_category()};
    return {};
}

std::error_code FlushFolder(const std::filesystem::path& folder)
{
    Descriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.get() < 0)
        return {errno, std::generic_category()};
    // Some file systems keep no folder of their own to flush.
    if (::fsync(handle.get()) != 0 && errno != EINVAL && errno != ENOSYS && errno != EROFS)
        return {errno, std::generic_category()};
    return {};
}

std::error_code WriteFileWhole(const std::filesystem::path& file, const std::filesystem::path& aside,
                               std::string_view bytes)
{
    const auto failed = [&aside] {
        const std::error_code error(errno, std::generic_category());
        ::unlink(aside.c_str());
        return error;
    };
    if (::unlink(aside.c_str()) != 0 && errno != ENOENT)
        return {errno, std::generic_category()};
    Descriptor out(::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    if (out.get() < 0)
        return {errno, std::generic_category()};
    while (!bytes.empty()) {
        const ssize_t written = ::write(out.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return failed();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(out.get()) != 0 || !out.Close() || ::rename(aside.c_str(), file.c_str()) != 0)
        return failed();
    FlushFolder(file.parent_path());
    return {};
}

void EndProcessNow()
{
    // A thread may wait in the kernel for a slow device, and the process
    // lingers until it returns. Its descriptors are closed first, so that the
    // display server sees the program gone and takes its windows away.
#ifdef __linux__
    if (::close_range(3, ~0U, 0) != 0)
#endif
    {
        const long highest = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (highest > 0 ? highest : 1024); ++fd)
            ::close(fd);
    }
    ::_exit(0);
}

} // namespace platform
