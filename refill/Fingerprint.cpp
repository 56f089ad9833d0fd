#include "refill/Fingerprint.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {

// What is read of each end of a file.
constexpr std::uint64_t kFingerprintEdge = 64 * 1024;

constexpr std::uint64_t kOdd1 = 0x9fb21c651e98df25ull;
constexpr std::uint64_t kOdd2 = 0xd6e8feb86659fd93ull;

// Eight bytes as one number, the same on every machine: the record that
// holds it travels with the stick.
std::uint64_t Word(const char* bytes)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i)
            swapped |= ((word >> (8 * i)) & 0xff) << (8 * (7 - i));
        word = swapped;
    }
    return word;
}

std::uint64_t Mix(std::uint64_t value)
{
    value ^= value >> 32;
    value *= kOdd1;
    value ^= value >> 29;
    value *= kOdd2;
    return value ^ (value >> 32);
}

// The fingerprint of a file's first and last 64 KiB (count bytes in all)
// and its size.
std::uint64_t FingerprintOfBytes(const char* bytes, std::size_t count, std::uint64_t size)
{
    // Four lanes, each a chain of its own, so the processor works on four
    // words at once.
    std::uint64_t lanes[4] = {size, size ^ kOdd1, size ^ kOdd2, ~size};
    std::size_t at = 0;
    for (; at + 32 <= count; at += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            const std::uint64_t value = (lanes[lane] ^ Word(bytes + at + 8 * lane)) * kOdd1;
            lanes[lane] = std::rotl(value, 27) + kOdd2;
        }
    }
    std::uint64_t hash = Mix(count);
    for (const std::uint64_t lane : lanes)
        hash = Mix(hash ^ lane);
    for (; at + 8 <= count; at += 8)
        hash = Mix(hash ^ Word(bytes + at));
    for (; at < count; ++at)
        hash = Mix(hash ^ static_cast<unsigned char>(bytes[at]) ^ (std::uint64_t(at) << 8));
    return hash;
}

} // namespace

std::optional<Fingerprinted> FingerprintWithFactsOf(const QString& path)
{
    // Kept by each thread, as it is the size that the system's allocator
    // would map afresh at every call.
    thread_local std::vector<char> bytes;
    const std::optional<platform::FileFacts> facts = platform::ReadFileEnds(ToFsPath(path), kFingerprintEdge, bytes);
    if (!facts)
        return std::nullopt;
    return Fingerprinted {*facts, FingerprintOfBytes(bytes.data(), bytes.size(), facts->size)};
}

std::optional<std::uint64_t> FingerprintOf(const QString& path)
{
    const std::optional<Fingerprinted> read = FingerprintWithFactsOf(path);
    return read ? std::optional(read->fingerprint) : std::nullopt;
}
