#pragma once

#include "platform/FileSystem.h"

#include <QString>

#include <cstdint>
#include <optional>

// What a file holds, in short: a hash of its size and of its first and last
// 64 KiB, where tag editors write. A copy has its source's fingerprint, and
// another file of the same name, size and time almost never has it. Reads at
// most 128 KiB of any file. Empty when the file cannot be read.
std::optional<std::uint64_t> FingerprintOf(const QString& path);

// The fingerprint with the file's facts as it was read.
struct Fingerprinted {
    platform::FileFacts facts;
    std::uint64_t fingerprint = 0;
};
std::optional<Fingerprinted> FingerprintWithFactsOf(const QString& path);
