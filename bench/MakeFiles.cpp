// Writes COUNT files of BYTES each into one folder, with content that differs
// from file to file and holds no long run of zeros, so no file system can
// share, compress or skip it.
//
//   bench_make_files FOLDER COUNT BYTES FILE_FORMAT
//   e.g. bench_make_files /tmp/s 5000 65536 file-%05u.bin

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "bench_make_files: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

// splitmix64: quick, and good enough that no two pieces look alike.
std::uint64_t NextWord(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

void Fill(std::vector<unsigned char>& piece, std::uint64_t& state)
{
    for (std::size_t at = 0; at < piece.size(); at += sizeof(std::uint64_t)) {
        const std::uint64_t word = NextWord(state) | 1; // never a zero word
        std::memcpy(piece.data() + at, &word, std::min(sizeof word, piece.size() - at));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FOLDER COUNT BYTES FILE_FORMAT\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    const unsigned long long bytes = std::strtoull(argv[3], nullptr, 10);
    if (count == 0 || bytes == 0) {
        std::fprintf(stderr, "bench_make_files: COUNT and BYTES must be positive\n");
        return 2;
    }
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        Fail("cannot create", folder);

    constexpr unsigned long long kPieceBytes = 8ULL << 20;
    std::vector<unsigned char> piece(static_cast<std::size_t>(std::min(bytes, kPieceBytes)));
    for (unsigned long file = 0; file < count; ++file) {
        char name[256];
        std::snprintf(name, sizeof name, argv[4], static_cast<unsigned>(file));
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            Fail("cannot create", path);
        std::uint64_t state = 0x5eed0000ULL + file;
        for (unsigned long long left = bytes; left > 0;) {
            const std::size_t now = static_cast<std::size_t>(std::min<unsigned long long>(left, piece.size()));
            piece.resize(now);
            Fill(piece, state);
            if (::write(fd, piece.data(), now) != static_cast<ssize_t>(now))
                Fail("cannot write", path);
            left -= now;
        }
        if (::close(fd) != 0)
            Fail("cannot close", path);
    }
    std::printf("wrote %lu files of %llu bytes in %s\n", count, bytes, folder.c_str());
    return 0;
}
