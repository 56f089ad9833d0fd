#pragma once

#include <filesystem>
#include <system_error>

namespace platform {

// What reading a copy back from its device found.
struct DeviceReadBack {
    bool same = false;         // byte for byte its source's content
    bool throughCache = false; // the system would not read around its cache
    std::error_code copyError;   // the copy could not be read back
    std::error_code sourceError; // the source could not be read again
};

// Reads a flushed copy as its device holds it, not as the system's cache
// does, and compares it byte for byte with its source, read as usual. On
// Linux the copy's cached pages are dropped first (through FUSE, only the
// FUSE file's own); on Windows it is read unbuffered, in whole sectors, or
// through the cache where the file system refuses that (throughCache).
// May run on any thread.
DeviceReadBack ReadBackAndCompare(const std::filesystem::path& copy, const std::filesystem::path& source);

} // namespace platform
