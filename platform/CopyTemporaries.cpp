#include "platform/CopyTemporaries.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

using Char = std::filesystem::path::value_type;

// ASCII text in the characters of the file system's names.
NativeString Native(std::string_view ascii) { return NativeString(ascii.begin(), ascii.end()); }

const NativeString& TemporaryPrefix()
{
    static const NativeString prefix = Native(".qvx-");
    return prefix;
}

const NativeString& TemporarySuffix()
{
    static const NativeString suffix = Native(".part");
    return suffix;
}

// The temporary files of this process's copies in progress: more than one
// when a copy starts during another's yield, or on other threads.
std::mutex unfinishedMutex;
std::vector<std::filesystem::path> unfinishedCopies;
// Counts the calls of RemoveUnfinishedCopies: a copy begun before one never
// finishes.
std::atomic<unsigned> abandonments {0};

// The number that decimal digits write; empty for anything else or for more
// than 19 digits (past what a count or process id may be).
std::optional<std::uint64_t> NumberOf(NativeStringView digits)
{
    if (digits.empty() || digits.size() > 19)
        return std::nullopt;
    std::uint64_t number = 0;
    for (const Char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

// True for a temporary file that a run of this program on this host left
// when it ended before finishing. Names of another host, or that carry no
// host and process, are never judged. Called with unfinishedMutex held.
bool IsDeadRunsTemporary(const NativeStringView whole)
{
    NativeStringView name = whole;
    if (!name.starts_with(TemporaryPrefix()) || !name.ends_with(TemporarySuffix()))
        return false;
    name.remove_prefix(TemporaryPrefix().size());
    name.remove_suffix(TemporarySuffix().size());
    // "<host>-<process>-<count>", read from the end: a host name may hold "-".
    std::uint64_t numbers[2] {};
    for (std::uint64_t& number : numbers) {
        const std::size_t dash = name.rfind(Char('-'));
        if (dash == NativeStringView::npos)
            return false;
        const std::optional<std::uint64_t> read = NumberOf(name.substr(dash + 1));
        if (!read)
            return false;
        number = *read;
        name = name.substr(0, dash);
    }
    const std::uint64_t process = numbers[1];
    if (name != temporaries::HostToken())
        return false;
    // A name of this process's own is dead unless one of its copies holds it
    // (in whichever folder, as the count makes it unique): a run before a
    // restart may have had the same id.
    if (process == temporaries::CurrentProcess())
        return std::none_of(unfinishedCopies.begin(), unfinishedCopies.end(),
                            [&](const std::filesystem::path& held) { return held.filename().native() == whole; });
    return !temporaries::ProcessLives(process);
}

// Removes the temporary files that dead runs left in a folder; false when
// the folder cannot be read.
bool RemoveDeadRunsTemporaries(const std::filesystem::path& folder)
{
    FolderReader reader(folder);
    if (reader.OpenError())
        return false;
    FolderEntry entry;
    while (reader.Next(entry)) {
        if (entry.kind == EntryKind::Folder)
            continue;
        const std::lock_guard lock(unfinishedMutex);
        if (IsDeadRunsTemporary(entry.name))
            temporaries::RemoveTemporaryFile(folder / entry.name);
    }
    return true;
}

} // namespace

NativeString TemporaryFileName(std::uint64_t process, std::uint64_t count)
{
    return TemporaryPrefix() + temporaries::HostToken() + Char('-') + Native(std::to_string(process)) + Char('-')
        + Native(std::to_string(count)) + TemporarySuffix();
}

void RemoveUnfinishedCopies()
{
    const std::lock_guard lock(unfinishedMutex);
    ++abandonments;
    for (const std::filesystem::path& path : unfinishedCopies)
        temporaries::RemoveTemporaryFile(path);
    unfinishedCopies.clear();
}

namespace temporaries {

NativeString NextName()
{
    static std::atomic<std::uint64_t> count {0};
    return TemporaryFileName(CurrentProcess(), ++count);
}

void Register(const std::filesystem::path& path)
{
    const std::lock_guard lock(unfinishedMutex);
    unfinishedCopies.push_back(path);
}

void Unregister(const std::filesystem::path& path)
{
    const std::lock_guard lock(unfinishedMutex);
    if (const auto found = std::find(unfinishedCopies.begin(), unfinishedCopies.end(), path);
        found != unfinishedCopies.end())
        unfinishedCopies.erase(found);
}

unsigned Abandonments() { return abandonments; }

void SweepOnce(const std::filesystem::path& destination) { SweepDeadRunsTemporaries(destination.parent_path()); }

} // namespace temporaries

void SweepDeadRunsTemporaries(const std::filesystem::path& destinationFolder)
{
    static std::mutex sweptMutex;
    static std::set<std::filesystem::path> swept;
    std::filesystem::path folder = destinationFolder.lexically_normal();
    if (!folder.has_filename() && folder.has_relative_path())
        folder = folder.parent_path(); // "/x/Album/" is "/x/Album"
    if (folder.empty())
        folder = ".";
    {
        const std::lock_guard lock(sweptMutex);
        if (!swept.insert(folder).second)
            return;
    }
    if (!RemoveDeadRunsTemporaries(folder)) {
        // Not there yet, or not readable: tried again on the next write.
        const std::lock_guard lock(sweptMutex);
        swept.erase(folder);
    }
}

namespace temporaries {

NativeString HostNameToken(NativeStringView name)
{
    NativeString token(name);
    for (Char& c : token) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && c != '.' && c != '-')
            c = '_';
    }
    return token.empty() ? Native("host") : token;
}

} // namespace temporaries

} // namespace platform
