#include "platform/RunLock.h"

#include "platform/Descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

// Closing the descriptor lets the lock go.
struct RunLock::Handle {
    Descriptor fd;
};

namespace {

// The process holding the whole-file lock on the file behind fd, as
// /proc/locks tells it: "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF".
std::optional<std::uint64_t> HolderOf(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return std::nullopt;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, where;
        std::uint64_t pid = 0;
        // A process waiting for a lock is listed with "->" before its kind.
        if (!(fields >> number >> kind) || kind != "FLOCK" || !(fields >> mode >> access >> pid >> where))
            continue;
        unsigned high = 0, low = 0;
        unsigned long long inode = 0;
        char colon1 = 0, colon2 = 0;
        std::istringstream file(where);
        file >> std::hex >> high >> colon1 >> low >> colon2 >> std::dec >> inode;
        if (file && high == major(status.st_dev) && low == minor(status.st_dev) && inode == status.st_ino && pid > 0)
            return pid;
    }
    return std::nullopt;
}

} // namespace

RunLock::RunLock(const std::filesystem::path& path) : handle_(std::make_unique<Handle>())
{
    // flock, rather than a lock file: it writes nothing, goes with the process,
    // and the kernel keeps it on FUSE mounts whose file system keeps none.
    handle_->fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (handle_->fd.get() < 0) {
        error_ = {errno, std::generic_category()};
        state_ = State::Failed;
        return;
    }
    int result = 0;
    do
        result = ::flock(handle_->fd.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Held;
    } else if (errno == EWOULDBLOCK) {
        state_ = State::Busy;
        holder_ = HolderOf(handle_->fd.get());
    } else {
        error_ = {errno, std::generic_category()};
        state_ = State::NotKept;
    }
}

RunLock::~RunLock() = default;
RunLock::RunLock(RunLock&&) noexcept = default;
RunLock& RunLock::operator=(RunLock&&) noexcept = default;

void RunLock::Wait()
{
    if (state_ != State::Busy)
        return;
    int result = 0;
    do
        result = ::flock(handle_->fd.get(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        error_ = {errno, std::generic_category()};
        state_ = State::NotKept;
        return;
    }
    state_ = State::Held;
    holder_.reset();
}

} // namespace platform
