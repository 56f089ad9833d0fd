#include "FileSystem.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::string ToUtf8(const wchar_t* text)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string bytes(static_cast<std::size_t>(length - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace

bool RemoveFile(const std::filesystem::path& path) { return ::DeleteFileW(path.c_str()) != 0; }

bool MakeNormal(const std::filesystem::path& path)
{
    return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

ListingResult ListPlainFiles(const std::filesystem::path& folder,
                             const std::function<void(std::string_view name)>& onName, std::error_code& error)
{
    const std::wstring pattern = (folder / L"*").wstring();
    WIN32_FIND_DATAW data {};
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        error.assign(static_cast<int>(code), std::system_category());
        return (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_ACCESS_DENIED
                || code == ERROR_DIRECTORY || code == ERROR_INVALID_NAME)
            ? ListingResult::NotAFolder
            : ListingResult::Failed;
    }
    constexpr DWORD kLeftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ListingResult result = ListingResult::Listed;
    do {
        if ((data.dwFileAttributes & kLeftOut) == 0)
            onName(ToUtf8(data.cFileName));
    } while (::FindNextFileW(search, &data));
    if (const DWORD code = ::GetLastError(); code != ERROR_NO_MORE_FILES) {
        error.assign(static_cast<int>(code), std::system_category());
        result = ListingResult::Failed;
    }
    ::FindClose(search);
    return result;
}

bool IsRegularFile(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace platform
