// Writes a tree of folders x files under a root, quickly: one open and close
// per file (plus one write for non-empty files), relative to the folder's
// descriptor. Files are numbered through the whole tree, so every name is
// unique.
//
// FOLDERS is one count, or counts per level joined by "x" for a nested tree:
// "50x40x24" writes 50 folders, 40 in each of them and 24 in each of those.
// Every folder below the root holds FILES_PER_FOLDER files.
//
//   bench_make_tree ROOT FOLDERS FILES_PER_FOLDER FOLDER_FORMAT FILE_FORMAT BYTES
//   e.g. bench_make_tree /tmp/t 100 1000 album-%03u track-%05u.mp3 16
//        bench_make_tree /tmp/t 50x40x24 2 folder-%02u file-%07u 0

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// "50x40x24" -> {50, 40, 24}; empty when the text is not such a list.
std::vector<unsigned> LevelCounts(const char* text)
{
    std::vector<unsigned> counts;
    for (;;) {
        char* end = nullptr;
        const unsigned long count = std::strtoul(text, &end, 10);
        if (end == text || count == 0)
            return {};
        counts.push_back(static_cast<unsigned>(count));
        if (*end == '\0')
            return counts;
        if (*end != 'x')
            return {};
        text = end + 1;
    }
}

class TreeWriter {
public:
    TreeWriter(std::vector<unsigned> levels, unsigned filesPerFolder, const char* folderFormat,
               const char* fileFormat, std::string content)
        : levels_(std::move(levels)), filesPerFolder_(filesPerFolder), folderFormat_(folderFormat),
          fileFormat_(fileFormat), content_(std::move(content))
    {
    }

    // Writes the folders of one level (and everything below) into parent.
    void Fill(int parent, const std::string& parentPath, std::size_t level)
    {
        for (unsigned folder = 0; folder < levels_[level]; ++folder) {
            const std::string name = Format(folderFormat_, folder);
            const std::string path = parentPath + "/" + name;
            if (::mkdirat(parent, name.c_str(), 0755) != 0 && errno != EEXIST)
                Fail("cannot create", path);
            ++folders_;
            const int dir = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
            if (dir < 0)
                Fail("cannot open", path);
            WriteFiles(dir, path);
            if (level + 1 < levels_.size())
                Fill(dir, path, level + 1);
            ::close(dir);
        }
    }

    unsigned Files() const { return files_; }
    unsigned Folders() const { return folders_; }

private:
    void WriteFiles(int dir, const std::string& folderPath)
    {
        for (unsigned file = 0; file < filesPerFolder_; ++file, ++files_) {
            const std::string name = Format(fileFormat_, files_);
            const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                Fail("cannot create", folderPath + "/" + name);
            if (!content_.empty() && ::write(fd, content_.data(), content_.size()) != static_cast<ssize_t>(content_.size()))
                Fail("cannot write", folderPath + "/" + name);
            if (::close(fd) != 0)
                Fail("cannot close", folderPath + "/" + name);
        }
    }

    const std::vector<unsigned> levels_;
    const unsigned filesPerFolder_;
    const char* const folderFormat_;
    const char* const fileFormat_;
    const std::string content_;
    unsigned files_ = 0;
    unsigned folders_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s ROOT FOLDERS FILES_PER_FOLDER FOLDER_FORMAT FILE_FORMAT BYTES\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    std::vector<unsigned> levels = LevelCounts(argv[2]);
    if (levels.empty()) {
        std::fprintf(stderr, "bench_make_tree: FOLDERS must be a count or counts joined by x, not %s\n", argv[2]);
        return 2;
    }
    const unsigned filesPerFolder = std::strtoul(argv[3], nullptr, 10);

    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST)
        Fail("cannot create", root);
    const int rootDir = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (rootDir < 0)
        Fail("cannot open", root);
    TreeWriter writer(std::move(levels), filesPerFolder, argv[4], argv[5],
                      std::string(std::strtoul(argv[6], nullptr, 10), 'x'));
    writer.Fill(rootDir, root, 0);
    ::close(rootDir);
    std::printf("wrote %u files in %u folders under %s\n", writer.Files(), writer.Folders(), root.c_str());
    return 0;
}
