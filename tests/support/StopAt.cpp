// Preloaded into the program by tests: the program is killed, as kill -9 or
// a pulled plug would end it, just before the QUORVEX_STOP_AT-th change it
// makes to a folder's names (a rename, a link, a removal, a folder made or
// removed), counted from 1. Or, with QUORVEX_SWAP_FOLDER, just before its
// first such change, that folder is moved aside and a link to
// QUORVEX_SWAP_TARGET put in its place, as a second user might.

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <class Function>
Function* Real(const char* name);

void SwapFolder()
{
    const char* folder = std::getenv("QUORVEX_SWAP_FOLDER");
    const char* target = std::getenv("QUORVEX_SWAP_TARGET");
    if (folder == nullptr || target == nullptr)
        return;
    const std::string aside = std::string(folder) + ".aside";
    Real<int(const char*, const char*)>("rename")(folder, aside.c_str());
    static_cast<void>(::symlink(target, folder));
}

void Step()
{
    static const long stopAt = [] {
        const char* value = std::getenv("QUORVEX_STOP_AT");
        return value != nullptr ? std::atol(value) : 0L;
    }();
    static std::atomic<long> changes {0};
    const long change = ++changes;
    if (change == 1)
        SwapFolder();
    if (change == stopAt)
        ::kill(::getpid(), SIGKILL);
}

template <class Function>
Function* Real(const char* name)
{
    return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int rename(const char* from, const char* to)
{
    Step();
    static auto* real = Real<int(const char*, const char*)>("rename");
    return real(from, to);
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    Step();
    static auto* real = Real<int(int, const char*, int, const char*)>("renameat");
    return real(fromFolder, from, toFolder, to);
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    Step();
    static auto* real = Real<int(int, const char*, int, const char*, unsigned)>("renameat2");
    return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    Step();
    static auto* real = Real<int(int, const char*, int, const char*, int)>("linkat");
    return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int unlink(const char* path)
{
    Step();
    static auto* real = Real<int(const char*)>("unlink");
    return real(path);
}

extern "C" int unlinkat(int folder, const char* path, int flags)
{
    Step();
    static auto* real = Real<int(int, const char*, int)>("unlinkat");
    return real(folder, path, flags);
}

extern "C" int remove(const char* path)
{
    Step();
    static auto* real = Real<int(const char*)>("remove");
    return real(path);
}

extern "C" int mkdir(const char* path, mode_t mode)
{
    Step();
    static auto* real = Real<int(const char*, mode_t)>("mkdir");
    return real(path, mode);
}

extern "C" int rmdir(const char* path)
{
    Step();
    static auto* real = Real<int(const char*)>("rmdir");
    return real(path);
}
