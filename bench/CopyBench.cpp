// Running a copy list, beside cp copying the same files into an empty folder.
// The sources are read once first, so both sides copy from the cache; every
// destination folder is emptied and written back to disk before each run, so
// no run pays for the one before it. Also reports the longest time the run
// kept window events waiting.
//
//   bench_copy NAME ROOT COUNT   (ROOT/src holds COUNT files; ROOT/dst-ours
//                                 and ROOT/dst-cp are written)

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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
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

// Removes everything in the folder (creating it if need be) and writes all
// dirty data back, so the next run starts with nothing pending.
bool EmptyFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (error || !std::filesystem::create_directories(folder, error)) {
        std::fprintf(stderr, "cannot empty %s: %s\n", folder.c_str(), error.message().c_str());
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

    QStringList rowTexts;
    std::vector<std::string> peerCommand {"cp"};
    for (const std::string& file : names) {
        const std::string from = (source / file).string();
        if (!ReadThrough(from)) {
            std::fprintf(stderr, "cannot read %s\n", from.c_str());
            return 1;
        }
        rowTexts.append(QString::fromStdString(from) + kCopyRowJoin + QString::fromStdString((oursFolder / file).string()));
        peerCommand.push_back(from);
    }
    peerCommand.push_back(peerFolder.string() + "/");
    RowListModel rows(QStringLiteral("Copy list"));
    rows.Append(rowTexts);

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
    for (int run = 0; run < kRuns; ++run) {
        if (!EmptyFolder(oursFolder))
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

        if (!EmptyFolder(peerFolder))
            return 1;
        peer = std::min(peer, Seconds([&] { peerStatus = std::max(peerStatus, Spawn(peerCommand)); }));
    }

    std::printf("ours: %d copied, %d failed; peer: cp of %zu file(s) into an empty folder, status %d\n",
                summary.copied, summary.failed, expected, peerStatus);
    std::printf("progress calls per run: %zu rows, %ld between pieces; yields: at least %ld, at most every %lld ms\n",
                expected, pieces, fewestYields, static_cast<long long>(ThrottledYield::Interval()));
    std::printf("peak memory: %.1f MB\n", PeakMemoryMb());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (!allCopied || peerStatus != 0) {
        std::printf("a side did not copy every file\n");
        return 1;
    }
    // Only the copies should be left: no temporary file, nothing missing.
    if (EntriesIn(oursFolder) != expected || EntriesIn(peerFolder) != expected) {
        std::printf("the destination folders do not hold exactly the %zu files\n", expected);
        return 1;
    }
    // The first, the last and a few between (all of them when there are few).
    const std::size_t step = std::max<std::size_t>(1, expected / 4);
    for (std::size_t i = 0; i < expected; i += step) {
        for (std::size_t at : {i, expected - 1 - i}) {
            if (!SameContent((source / names[at]).string(), (oursFolder / names[at]).string())) {
                std::printf("%s: the copy differs from the source\n", names[at].c_str());
                return 1;
            }
        }
    }
    std::printf("longest gap between yields: %.1f ms\n", longestGapMs);
    PrintResult(name, ours, peer);
    return 0;
}
