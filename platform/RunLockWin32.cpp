#include "platform/RunLock.h"

#include "platform/FileSystem.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace platform {

struct RunLock::Handle {
    HANDLE mutex = nullptr;
    bool owned = false;
    ~Handle()
    {
        // A mutex is let go by the thread that took it: the runs take and
        // let go of their locks on one thread.
        if (owned)
            ::ReleaseMutex(mutex);
        if (mutex != nullptr)
            ::CloseHandle(mutex);
    }
};

namespace {

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// One name for the file or folder on its volume, whatever path leads to it,
// in the namespace every session and user shares.
std::wstring MutexName(const FileId& id)
{
    wchar_t name[80];
    std::swprintf(name, sizeof name / sizeof name[0], L"Global\\Quorvex-run-%llx-%llx",
                  static_cast<unsigned long long>(id.device), static_cast<unsigned long long>(id.index));
    return name;
}

} // namespace

RunLock::RunLock(const std::filesystem::path& path) : handle_(std::make_unique<Handle>())
{
    // Windows locks no folder: a named mutex stands for it. It is let go when
    // the process that holds it ends, however it ends.
    const std::optional<FileId> id = IdOf(path);
    if (!id) {
        error_ = LastError();
        state_ = State::Failed;
        return;
    }
    const std::wstring name = MutexName(*id);
    // Open to every user: a run of another user must find it, and wait for it.
    SECURITY_DESCRIPTOR everyone {};
    ::InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes {sizeof attributes, &everyone, FALSE};
    handle_->mutex = ::CreateMutexW(&attributes, FALSE, name.c_str());
    if (handle_->mutex == nullptr && ::GetLastError() == ERROR_ACCESS_DENIED)
        handle_->mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    if (handle_->mutex == nullptr) {
        error_ = LastError();
        state_ = State::NotKept;
        return;
    }
    switch (::WaitForSingleObject(handle_->mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its last holder died
        handle_->owned = true;
        state_ = State::Held;
        break;
    case WAIT_TIMEOUT: state_ = State::Busy; break;
    default:
        error_ = LastError();
        state_ = State::NotKept;
        break;
    }
}

RunLock::~RunLock() = default;
RunLock::RunLock(RunLock&&) noexcept = default;
RunLock& RunLock::operator=(RunLock&&) noexcept = default;

void RunLock::Wait()
{
    if (state_ != State::Busy)
        return;
    const DWORD result = ::WaitForSingleObject(handle_->mutex, INFINITE);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        error_ = LastError();
        state_ = State::NotKept;
        return;
    }
    handle_->owned = true;
    state_ = State::Held;
}

} // namespace platform
