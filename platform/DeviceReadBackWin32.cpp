#include "platform/DeviceReadBack.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr DWORD kPiece = 1 << 20;

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

HANDLE OpenForReading(const std::filesystem::path& path, DWORD flags)
{
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         flags | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// A buffer that unbuffered reads take: page-aligned, from VirtualAlloc.
class AlignedBuffer {
public:
    AlignedBuffer() : data_(static_cast<char*>(::VirtualAlloc(nullptr, kPiece, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~AlignedBuffer()
    {
        if (data_ != nullptr)
            ::VirtualFree(data_, 0, MEM_RELEASE);
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    char* Data() const { return data_; }

private:
    char* data_;
};

// Reads until the piece is full or the file ends: a file's read comes
// short only at its end, where an unbuffered one must stop, its position
// no longer on a sector. False when a read failed.
bool ReadPiece(HANDLE file, char* buffer, DWORD size, DWORD& done)
{
    done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer + done, size - done, &got, nullptr))
            return false;
        done += got;
        if (got == 0 || done % 512 != 0)
            break;
    }
    return true;
}

// The size unbuffered reads come in: a whole number of the device's sectors.
DWORD PieceFor(HANDLE file)
{
    FILE_STORAGE_INFO storage {};
    DWORD sector = 4096;
    if (::GetFileInformationByHandleEx(file, FileStorageInfo, &storage, sizeof storage))
        sector = storage.PhysicalBytesPerSectorForPerformance;
    if (sector < 512 || sector > kPiece || (sector & (sector - 1)) != 0)
        sector = 4096;
    return kPiece - kPiece % sector;
}

bool RefusesUnbuffered(DWORD error) { return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED; }

// Compares the two files from where they stand. False when the copy's
// first unbuffered read was refused, before anything was compared.
bool Compare(HANDLE copy, HANDLE source, char* buffer, DWORD piece, bool unbuffered, DeviceReadBack& result)
{
    thread_local std::vector<char> fromSource(kPiece);
    for (bool first = true;; first = false) {
        DWORD got = 0;
        if (!ReadPiece(copy, buffer, piece, got)) {
            if (first && unbuffered && RefusesUnbuffered(::GetLastError()))
                return false;
            result.copyError = LastError();
            return true;
        }
        DWORD expected = 0;
        if (!ReadPiece(source, fromSource.data(), piece, expected)) {
            result.sourceError = LastError();
            return true;
        }
        if (got != expected || std::memcmp(buffer, fromSource.data(), got) != 0)
            return true;
        if (got < piece) {
            result.same = true;
            return true;
        }
    }
}

} // namespace

DeviceReadBack ReadBackAndCompare(const std::filesystem::path& copy, const std::filesystem::path& source)
{
    DeviceReadBack result;
    const Handle original(OpenForReading(source, 0));
    if (!original.IsOpen()) {
        result.sourceError = LastError();
        return result;
    }
    const AlignedBuffer buffer;
    if (buffer.Data() == nullptr) {
        result.copyError = std::make_error_code(std::errc::not_enough_memory);
        return result;
    }
    // Unbuffered, around the cache; where the file system refuses that (at
    // the open or at the first read), through the cache.
    for (const bool unbuffered : {true, false}) {
        const Handle copied(OpenForReading(copy, unbuffered ? FILE_FLAG_NO_BUFFERING : 0));
        if (!copied.IsOpen()) {
            if (unbuffered && RefusesUnbuffered(::GetLastError()))
                continue;
            result.copyError = LastError();
            return result;
        }
        result.throughCache = !unbuffered;
        if (Compare(copied.Get(), original.Get(), buffer.Data(), unbuffered ? PieceFor(copied.Get()) : kPiece,
                    unbuffered, result))
            return result;
    }
    return result;
}

} // namespace platform
