#pragma once

#include "platform/FileSystem.h"

#include <cstdint>
#include <filesystem>

// The bookkeeping of copies' temporary files, the same on both halves of the
// platform layer: their names, the copies in progress and the sweep of what
// dead runs left. Private to the platform layer.
namespace platform::temporaries {

// A fresh temporary name of this process: unique within it by its count.
NativeString NextName();

// Notes a copy's temporary file before it exists, so that the sweep never
// takes it and RemoveUnfinishedCopies does; forgotten once it is renamed or
// removed.
void Register(const std::filesystem::path& path);
void Unregister(const std::filesystem::path& path);

// How many times RemoveUnfinishedCopies has run: a copy that sees the count
// change since it began must not take its name.
unsigned Abandonments();

// Removes the temporary files that dead runs left in the destination's
// folder, the first time this process writes there.
void SweepOnce(const std::filesystem::path& destination);

// The host name as temporary names carry it: ASCII letters, digits, "." and
// "-" are kept, anything else becomes "_"; "host" for no name.
NativeString HostNameToken(NativeStringView name);

// What each half tells in its own way.

// This host's token in temporary names (see HostNameToken).
const NativeString& HostToken();
// The id of this process.
std::uint64_t CurrentProcess();
// True while a process of that id runs on this host (or when that cannot be
// ruled out); true for 0, which names no run.
bool ProcessLives(std::uint64_t process);
// Removes a temporary file, also a read-only one.
void RemoveTemporaryFile(const std::filesystem::path& path);

} // namespace platform::temporaries
