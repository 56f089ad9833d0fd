#pragma once

#include "platform/FileSystem.h"

#include <csignal>
#include <sys/resource.h>

// Inside its scope a file may not grow past a limit, and writes past it
// fail: a full disk, for tests. Needs no Qt. The program's own start-up
// setting is what keeps the limit's signal from ending the test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_DFL))
    {
        platform::FailWritesPastTheFileSizeLimit();
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit small = saved_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*handler_)(int);
    struct rlimit saved_ {};
};
