// Preloaded into the program by tests: flushing a whole file system fails as
// it does when a stick is pulled out too early; and, as on kernels before
// 6.10 for a process without CAP_DAC_READ_SEARCH, a file cannot be linked by
// its descriptor alone.

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>

extern "C" int syncfs(int)
{
    errno = EIO;
    return -1;
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    if ((flags & AT_EMPTY_PATH) != 0) {
        errno = ENOENT;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int, const char*, int, const char*, int)>(
        ::dlsym(RTLD_NEXT, "linkat"));
    return real(fromFolder, from, toFolder, to, flags);
}
