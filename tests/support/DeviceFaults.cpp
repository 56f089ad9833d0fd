// Preloaded into the program by tests: a device that returns something else
// than was written to one file, QUORVEX_FAULT_FILE. Without more, every
// read of that file comes back with its bytes flipped, wherever it is read
// from. With QUORVEX_FAULT_IMAGE, the image file behind a loop-mounted file
// system, the file's first byte is changed on the device itself, behind the
// mount's cache, when the program first opens the file by its name (a copy
// is written under another name, or none): only a read that goes around
// the cache then sees the change.

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

template <class Function>
Function* Real(const char* name)
{
    return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

// The image to change, or none (also when set empty).
const char* Image()
{
    const char* image = std::getenv("QUORVEX_FAULT_IMAGE");
    return image != nullptr && *image != 0 ? image : nullptr;
}

constexpr int kMostDescriptors = 4096;
std::atomic<bool> faulty[kMostDescriptors];
std::atomic<bool> changed {false};

void ChangeOnDevice(int fd);

void Opened(int fd, const char* path)
{
    const char* file = std::getenv("QUORVEX_FAULT_FILE");
    const bool isFaulty = file != nullptr && path != nullptr && std::strcmp(file, path) == 0;
    if (fd >= 0 && fd < kMostDescriptors)
        faulty[fd] = isFaulty;
    if (isFaulty && fd >= 0 && Image() != nullptr && !changed.exchange(true))
        ChangeOnDevice(fd);
}

bool IsFaulty(int fd) { return fd >= 0 && fd < kMostDescriptors && faulty[fd]; }

void Flip(void* buffer, ssize_t got)
{
    if (Image() != nullptr)
        return;
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (ssize_t i = 0; i < got; ++i)
        bytes[i] ^= 0xFF;
}

// Flips the file's first byte where it lies on the image.
void ChangeOnDevice(int fd)
{
    alignas(fiemap) unsigned char space[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto* map = reinterpret_cast<fiemap*>(space);
    map->fm_length = ~0ULL;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = 1;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
        return;
    const int image = Real<int(const char*, int, ...)>("open")(Image(), O_RDWR);
    unsigned char byte = 0;
    const off_t at = static_cast<off_t>(map->fm_extents[0].fe_physical);
    if (image >= 0 && ::pread(image, &byte, 1, at) == 1) {
        byte ^= 0xFF;
        static_cast<void>(::pwrite(image, &byte, 1, at));
    }
    if (image >= 0)
        ::close(image);
}

} // namespace

namespace {

// Opens through the system's own function, and notes whether it is the file.
int OpenNoting(const char* function, const char* path, int flags, va_list rest)
{
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, mode_t) : 0;
    const int fd = Real<int(const char*, int, ...)>(function)(path, flags, mode);
    Opened(fd, path);
    return fd;
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenNoting("open", path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenNoting("open64", path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    const ssize_t got = Real<ssize_t(int, void*, size_t)>("read")(fd, buffer, size);
    if (IsFaulty(fd))
        Flip(buffer, got);
    return got;
}

extern "C" int close(int fd)
{
    if (fd >= 0 && fd < kMostDescriptors)
        faulty[fd] = false;
    return Real<int(int)>("close")(fd);
}
