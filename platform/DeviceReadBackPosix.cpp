#include "platform/DeviceReadBack.h"

#include "platform/Descriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::size_t kPiece = 1 << 20;

std::error_code LastError() { return {errno, std::generic_category()}; }

// Reads until the piece is full or the file ends: the bytes read, or -1.
ssize_t ReadPiece(int fd, char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

DeviceReadBack ReadBackAndCompare(const std::filesystem::path& copy, const std::filesystem::path& source)
{
    DeviceReadBack result;
    const Descriptor copied(::open(copy.c_str(), O_RDONLY | O_CLOEXEC));
    if (copied.get() < 0) {
        result.copyError = LastError();
        return result;
    }
    // Flushed, the copy's pages are clean: dropped, they are read again from
    // the device.
    ::posix_fadvise(copied.get(), 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(copied.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const Descriptor original(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (original.get() < 0) {
        result.sourceError = LastError();
        return result;
    }
    thread_local std::vector<char> fromCopy(kPiece);
    thread_local std::vector<char> fromSource(kPiece);
    for (;;) {
        const ssize_t got = ReadPiece(copied.get(), fromCopy.data(), kPiece);
        if (got < 0) {
            result.copyError = LastError();
            break;
        }
        const ssize_t expected = ReadPiece(original.get(), fromSource.data(), kPiece);
        if (expected < 0) {
            result.sourceError = LastError();
            break;
        }
        if (got != expected || std::memcmp(fromCopy.data(), fromSource.data(), static_cast<std::size_t>(got)) != 0)
            break;
        if (got == 0) {
            result.same = true;
            break;
        }
    }
    // What was read back is of no more use in the cache.
    ::posix_fadvise(copied.get(), 0, 0, POSIX_FADV_DONTNEED);
    return result;
}

} // namespace platform
