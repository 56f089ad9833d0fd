// Writes a tree of folders x files under a root, quickly: one open and close
// per file (plus one write for non-empty files), relative to the folder's
// descriptor. Files are numbered through the whole tree, so every name is
// unique.
//
//   bench_make_tree ROOT FOLDERS FILES_PER_FOLDER FOLDER_FORMAT FILE_FORMAT BYTES
//   e.g. bench_make_tree /tmp/t 100 1000 album-%03u track-%05u.mp3 16

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "bench_make_tree: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

std::string Format(const char* format, unsigned number)
{
    char text[256];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s ROOT FOLDERS FILES_PER_FOLDER FOLDER_FORMAT FILE_FORMAT BYTES\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const unsigned folders = std::strtoul(argv[2], nullptr, 10);
    const unsigned filesPerFolder = std::strtoul(argv[3], nullptr, 10);
    const char* folderFormat = argv[4];
    const char* fileFormat = argv[5];
    const std::string content(std::strtoul(argv[6], nullptr, 10), 'x');

    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST)
        Fail("cannot create", root);
    unsigned number = 0;
    for (unsigned folder = 0; folder < folders; ++folder) {
        const std::string folderPath = root + "/" + Format(folderFormat, folder);
        if (::mkdir(folderPath.c_str(), 0755) != 0 && errno != EEXIST)
            Fail("cannot create", folderPath);
        const int dir = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY);
        if (dir < 0)
            Fail("cannot open", folderPath);
        for (unsigned file = 0; file < filesPerFolder; ++file, ++number) {
            const std::string name = Format(fileFormat, number);
            const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                Fail("cannot create", folderPath + "/" + name);
            if (!content.empty() && ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
                Fail("cannot write", folderPath + "/" + name);
            if (::close(fd) != 0)
                Fail("cannot close", folderPath + "/" + name);
        }
        ::close(dir);
    }
    std::printf("wrote %u files in %u folders under %s\n", number, folders, root.c_str());
    return 0;
}
