#include "FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
EntryKind KindOf(DIR* folder, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_REG: return EntryKind::File;
    case DT_DIR: return EntryKind::Folder;
    case DT_LNK:
    case DT_UNKNOWN: {
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
        id_ = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
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
        entry.kind = KindOf(handle_->stream, *found);
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

bool MakeNormal(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return false;
    if (S_ISLNK(status.st_mode))
        return true; // a link has no permissions of its own
    return ::chmod(path.c_str(), status.st_mode | S_IWUSR) == 0;
}

bool IsRegularFile(const std::filesystem::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsProtectedFolder(const std::filesystem::path&) { return false; }

bool IsRootFolder(const std::filesystem::path& path)
{
    const std::string& text = path.native();
    return !text.empty() && text.find_first_not_of('/') == std::string::npos;
}

} // namespace platform
