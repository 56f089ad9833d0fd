#pragma once

#include "core/PathHelpers.h"
#include "platform/RunLock.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

// Holds the run lock of a file or folder as another run would, until
// Release: on a thread of its own, as on Windows a lock belongs to the
// thread that took it.
class LockHeldElsewhere {
public:
    explicit LockHeldElsewhere(const QString& path)
        : thread_([this, target = ToFsPath(path)] {
              const platform::RunLock lock(target);
              std::unique_lock guard(mutex_);
              held_ = lock.Current() == platform::RunLock::State::Held;
              taken_ = true;
              changed_.notify_all();
              changed_.wait(guard, [this] { return released_; });
          })
    {
        std::unique_lock guard(mutex_);
        changed_.wait(guard, [this] { return taken_; });
    }
    ~LockHeldElsewhere() { Release(); }
    LockHeldElsewhere(const LockHeldElsewhere&) = delete;
    LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;

    bool Held() const { return held_; }

    void Release()
    {
        {
            const std::lock_guard guard(mutex_);
            released_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool taken_ = false;
    bool held_ = false;
    bool released_ = false;
    std::thread thread_; // last: started once the rest is ready
};
