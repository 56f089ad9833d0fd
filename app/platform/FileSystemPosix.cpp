#include "FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool RemoveFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

bool MakeNormal(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return false;
    if (S_ISLNK(status.st_mode))
        return true; // a link has no permissions of its own
    return ::chmod(path.c_str(), status.st_mode | S_IWUSR) == 0;
}

} // namespace platform
