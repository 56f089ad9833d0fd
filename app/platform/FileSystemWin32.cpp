#include "FileSystem.h"

#include <windows.h>

namespace platform {

bool RemoveFile(const std::filesystem::path& path) { return ::DeleteFileW(path.c_str()) != 0; }

bool MakeNormal(const std::filesystem::path& path)
{
    return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

} // namespace platform
