#include "platform/ChildProcesses.h"

#include <array>
#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace platform {

namespace {

// A slot per child, lock-free so that a signal handler may read them; more
// children than slots at once are not ended, which no run starts.
std::array<std::atomic<std::int64_t>, 64> children {};

void End(std::int64_t process)
{
#ifdef _WIN32
    if (HANDLE handle = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(process))) {
        ::TerminateProcess(handle, 1);
        ::CloseHandle(handle);
    }
#else
    ::kill(static_cast<pid_t>(process), SIGKILL);
#endif
}

} // namespace

void NoteChildProcess(std::int64_t process)
{
    for (std::atomic<std::int64_t>& slot : children) {
        std::int64_t free = 0;
        if (slot.compare_exchange_strong(free, process))
            return;
    }
}

void ForgetChildProcess(std::int64_t process)
{
    for (std::atomic<std::int64_t>& slot : children) {
        std::int64_t noted = process;
        if (slot.compare_exchange_strong(noted, 0))
            return;
    }
}

void EndChildProcesses()
{
    for (std::atomic<std::int64_t>& slot : children) {
        if (const std::int64_t process = slot.load(); process > 0)
            End(process);
    }
}

} // namespace platform
