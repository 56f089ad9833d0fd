#include "FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Closes the folder stream however the listing ends.
class FolderStream {
public:
    explicit FolderStream(DIR* stream) : stream_(stream) {}
    ~FolderStream()
    {
        if (stream_ != nullptr)
            ::closedir(stream_);
    }
    FolderStream(const FolderStream&) = delete;
    FolderStream& operator=(const FolderStream&) = delete;
    DIR* get() const { return stream_; }

private:
    DIR* stream_;
};

bool IsRegularEntry(DIR* folder, const dirent& entry)
{
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status {};
    return ::fstatat(::dirfd(folder), entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

} // namespace

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

ListingResult ListPlainFiles(const std::filesystem::path& folder,
                             const std::function<void(std::string_view name)>& onName, std::error_code& error)
{
    const FolderStream stream(::opendir(folder.c_str()));
    if (stream.get() == nullptr) {
        error.assign(errno, std::generic_category());
        const bool noFolder = errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == ENAMETOOLONG
            || errno == ELOOP;
        return noFolder ? ListingResult::NotAFolder : ListingResult::Failed;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream.get());
        if (entry == nullptr) {
            if (errno == 0)
                return ListingResult::Listed;
            error.assign(errno, std::generic_category());
            return ListingResult::Failed;
        }
        // Names starting with a point are hidden, "." and ".." among them.
        if (entry->d_name[0] == '.')
            continue;
        if (IsRegularEntry(stream.get(), *entry))
            onName(entry->d_name);
    }
}

bool IsRegularFile(const std::filesystem::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace platform
