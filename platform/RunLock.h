#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace platform {

// The lock that runs of the program take on a file or folder they write, so
// that two never write there at once: a window and a cron job, or two cron
// jobs, of any users of the machine. Nothing is written into the file or
// folder, and the lock goes with the process that holds it, also when it
// dies. It holds on FAT and FUSE mounts too.
class RunLock {
public:
    enum class State {
        Held,    // this process holds it
        Busy,    // another process holds it
        NotKept, // the file system keeps no such locks (some network shares)
        Failed,  // the file or folder cannot be opened
    };

    // Takes the lock, without waiting for it.
    explicit RunLock(const std::filesystem::path& path);
    ~RunLock();
    RunLock(RunLock&&) noexcept;
    RunLock& operator=(RunLock&&) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    State Current() const { return state_; }
    // The process that holds it, when Busy and the system tells.
    const std::optional<std::uint64_t>& Holder() const { return holder_; }
    // Why it is NotKept or Failed.
    const std::error_code& Error() const { return error_; }

    // When Busy: waits until the other process lets it go, then holds it.
    void Wait();

    struct Handle;

private:
    std::unique_ptr<Handle> handle_;
    State state_ = State::Failed;
    std::optional<std::uint64_t> holder_;
    std::error_code error_;
};

} // namespace platform
