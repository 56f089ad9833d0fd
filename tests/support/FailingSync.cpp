// Preloaded into the program by tests: flushing a whole file system fails as
// it does when a stick is pulled out too early.

#include <cerrno>

extern "C" int syncfs(int)
{
    errno = EIO;
    return -1;
}
