// Running a copy list, beside cp copying the same files into an empty folder.
// The sources are read once first, so both sides copy from the cache. Every
// run writes into a folder of its own, made just before it, after all dirty
// data went back to disk, so no run pays for the one before it. Also reports
// the longest time the run kept window events waiting.
//
//   bench_copy NAME ROOT COUNT   (ROOT/src holds COUNT files; the copies go
//                                 to ROOT/dst-ours/N and ROOT/dst-cp/N)

#include "BenchSupport.h"

#include "app/ErrorReport.h"
#include "app/EventYield.h"
#include "app/PathHelpers.h"
#include "app/ProcedureLabels.h"
#include "app/RowListModel.h"
#include "copyrun/CopyRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kRuns = 3;

// Does what the window's progress observer does, without the widget: works
// out the bar's text and lets events run at most once a frame. Times the
// gaps in which no event could run: from the start to the first yield,
// between yields, and from the last yield to the end.
class TimedObserver final : public CopyRunObserver {
public:
    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override
    {
        ++rows_;
        percent_ = rowCount > 0 ? 100.0 * rowNumber / rowCount : 100.0;
        text_ = QStringLiteral("Processing: ") + FileNameOf(rowText);
        Poll();
    }

    void CopyProgressing() override
    {
        ++pieces_;
        Poll();
    }

    void Finish() { Mark(); }

    double LongestGapMs() const { return longestNs_ / 1e6; }
    long Rows() const { return rows_; }
    long Pieces() const { return pieces_; }
    long Yields() const { return yields_; }

private:
    void Poll()
    {
        if (yield_.Poll()) {
            ++yields_;
            Mark();
        }
    }

    void Mark()
    {
        const qint64 now = clock_.nsecsElapsed();
        longestNs_ = std::max(longestNs_, now - last_);
        last_ = now;
    }

    ThrottledYield yield_;
    QElapsedTimer clock_ = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    qint64 last_ = 0;
    qint64 longestNs_ = 0;
    long rows_ = 0;
    long pieces_ = 0;
    long yields_ = 0;
    double percent_ = 0;
    QString text_;
};

// ext4 without a journal will not hand out an inode freed less than a minute
// ago, and skips such inodes one by one: creating files soon after deleting
// thousands costs seconds of system time, more or less at random. So no
// copies are deleted between runs, and a run waits until the last deletion
// (whose time the stamp file holds) is old enough.
constexpr int kFreedInodeAgeSeconds = 62;

std::int64_t Now() { return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count(); }

// Deletes the folders and notes when, so the next run can wait for the
// freed inodes to age.
bool RemoveCopies(const std::vector<std::filesystem::path>& folders, const std::filesystem::path& stamp)
{
    bool removedAny = false;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        removedAny = std::filesystem::remove_all(folder, error) > 0 || removedAny;
        if (error) {
            std::fprintf(stderr, "cannot remove %s: %s\n", folder.c_str(), error.message().c_str());
            return false;
        }
    }
    if (removedAny) {
        ::sync(); // the inode table must not stay dirty, or the wait is five minutes longer
        std::FILE* file = std::fopen(stamp.c_str(), "w");
        if (file == nullptr)
            return false;
        std::fprintf(file, "%lld\n", static_cast<long long>(Now()));
        std::fclose(file);
    }
    return true;
}

void WaitForFreedInodes(const std::filesystem::path& stamp)
{
    std::FILE* file = std::fopen(stamp.c_str(), "r");
    if (file == nullptr)
        return;
    long long removedAt = 0;
    const bool read = std::fscanf(file, "%lld", &removedAt) == 1;
    std::fclose(file);
    const std::int64_t wait = read ? removedAt + kFreedInodeAgeSeconds - Now() : 0;
    if (wait <= 0)
        return;
    std::printf("waiting %llds for freed inodes to age\n", static_cast<long long>(wait));
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(wait));
}

// A new, empty folder, with all dirty data written back before the run.
bool FreshFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    if (!std::filesystem::create_directories(folder, error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error ? error.message().c_str() : "it exists");
        return false;
    }
    ::sync();
    return true;
}

// Reads every byte, so the copies read from the cache.
bool ReadThrough(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    static std::vector<char> buffer(1 << 20);
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
    }
    ::close(fd);
    return got == 0;
}

bool SameContent(const std::string& a, const std::string& b)
{
    std::FILE* first = std::fopen(a.c_str(), "rb");
    std::FILE* second = std::fopen(b.c_str(), "rb");
    bool same = first != nullptr && second != nullptr;
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same) {
        const std::size_t got = std::fread(x.data(), 1, x.size(), first);
        same = std::fread(y.data(), 1, y.size(), second) == got && std::memcmp(x.data(), y.data(), got) == 0;
        if (got < x.size())
            break;
    }
    if (first != nullptr)
        std::fclose(first);
    if (second != nullptr)
        std::fclose(second);
    return same;
}

// Runs a program without a shell, so only the program itself is timed.
int Spawn(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t EntriesIn(const std::filesystem::path& folder)
{
    std::size_t entries = 0;
    for (auto it = std::filesystem::directory_iterator(folder); it != std::filesystem::directory_iterator(); ++it)
        ++entries;
    return entries;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s NAME ROOT COUNT\n", argv[0]);
        return 2;
    }
    QCoreApplication application(argc, argv);
    const char* name = argv[1];
    const std::filesystem::path root = argv[2];
    const std::size_t expected = std::strtoul(argv[3], nullptr, 10);
    const std::filesystem::path source = root / "src";
    const std::filesystem::path oursFolder = root / "dst-ours";
    const std::filesystem::path peerFolder = root / "dst-cp";

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(source))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names.size() != expected || expected == 0) {
        std::fprintf(stderr, "%s holds %zu files, not %zu\n", source.c_str(), names.size(), expected);
        return 1;
    }

    for (const std::string& file : names) {
        if (!ReadThrough((source / file).string())) {
            std::fprintf(stderr, "cannot read %s\n", (source / file).c_str());
            return 1;
        }
    }
    const std::filesystem::path stamp = root.string() + ".freed";
    if (!RemoveCopies({oursFolder, peerFolder}, stamp)) // left by a run that failed
        return 1;
    WaitForFreedInodes(stamp);

    QuietDialogs dialogs;
    CopyRunSummary summary;
    bool allCopied = true;
    int peerStatus = 0;
    double ours = 1e300;
    double peer = 1e300;
    double longestGapMs = 0;
    long fewestYields = -1;
    long pieces = 0;
    // Alternating, so a change in the machine's load falls on both sides.
    for (int run = 1; run <= kRuns; ++run) {
        const std::filesystem::path oursRun = oursFolder / std::to_string(run);
        const std::filesystem::path peerRun = peerFolder / std::to_string(run);
        QStringList rowTexts;
        std::vector<std::string> peerCommand {"cp"};
        for (const std::string& file : names) {
            rowTexts.append(QString::fromStdString((source / file).string()) + kCopyRowJoin
                            + QString::fromStdString((oursRun / file).string()));
            peerCommand.push_back((source / file).string());
        }
        peerCommand.push_back(peerRun.string() + "/");
        RowListModel rows(QStringLiteral("Copy list"));
        rows.Append(rowTexts);

        if (!FreshFolder(oursRun))
            return 1;
        TimedObserver observer;
        ErrorReport report(dialogs, ProcedureLabels::PushButtonClick(2));
        ours = std::min(ours, Seconds([&] {
            summary = RunCopyList(rows, observer, report);
            observer.Finish();
        }));
        allCopied = allCopied && summary.copied == static_cast<int>(expected) && summary.failed == 0
            && !summary.sameFiles && observer.Rows() == static_cast<long>(expected);
        longestGapMs = std::max(longestGapMs, observer.LongestGapMs());
        fewestYields = fewestYields < 0 ? observer.Yields() : std::min(fewestYields, observer.Yields());
        pieces = observer.Pieces();

        if (!FreshFolder(peerRun))
            return 1;
        peer = std::min(peer, Seconds([&] { peerStatus = std::max(peerStatus, Spawn(peerCommand)); }));

        // Only the copies should be there: no temporary file, nothing missing.
        allCopied = allCopied && EntriesIn(oursRun) == expected && EntriesIn(peerRun) == expected;
    }

    std::printf("ours: %d copied, %d failed; peer: cp of %zu file(s) into an empty folder, status %d\n",
                summary.copied, summary.failed, expected, peerStatus);
    std::printf("progress calls per run: %zu rows, %ld between pieces; yields: at least %ld, at most every %lld ms\n",
                expected, pieces, fewestYields, static_cast<long long>(ThrottledYield::Interval()));
    std::printf("peak memory: %.1f MB\n", PeakMemoryMb());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (!allCopied || peerStatus != 0) {
        std::printf("a side did not copy exactly the %zu files\n", expected);
        return 1;
    }
    // The first, the last and a few between (all of them when there are few).
    const std::filesystem::path lastCopies = oursFolder / std::to_string(kRuns);
    const std::size_t step = std::max<std::size_t>(1, expected / 4);
    for (std::size_t i = 0; i < expected; i += step) {
        for (std::size_t at : {i, expected - 1 - i}) {
            if (!SameContent((source / names[at]).string(), (lastCopies / names[at]).string())) {
                std::printf("%s: the copy differs from the source\n", names[at].c_str());
                return 1;
            }
        }
    }
    if (!RemoveCopies({oursFolder, peerFolder}, stamp))
        return 1;
    std::printf("longest gap between yields: %.1f ms\n", longestGapMs);
    PrintResult(name, ours, peer);
    return 0;
}
