// Running a copy list and flushing the copies to the device, beside cp
// copying the same files into an empty folder followed by sync -f.
// The sources are read once first, so both sides copy from the cache. Also
// reports the longest time the run kept window events waiting. Named
// copy-window, it clicks the window's copy command (offscreen) instead,
// beside cp -p, which also keeps the files' times. Named window-refresh, it
// clicks the window's copy command with "Replace the copies of the last
// refill" over last night's copies of all the files (made untimed), beside
// rm of them, cp and sync -f.
//
//   bench_copy NAME ROOT COUNT   (ROOT/src holds COUNT files; the copies go
//                                 to ROOT/dst-ours and ROOT/dst-cp)
//
// Between runs the copies are emptied and parked under ROOT/spent instead of
// deleted: ext4 without a journal will not hand out an inode freed in the
// last minute (six, once its table block is dirty) and steps over such
// inodes one by one on every creation, so files made soon after thousands
// were deleted cost seconds of system time, more or less at random. Emptying
// frees the copies' memory just before the next run, so the run writes into
// memory the machine already holds rather than memory it must first fetch.

#include "BenchSupport.h"

#include "copyrun/CopyRun.h"
#include "copyrun/DeviceFlush.h"
#include "core/Dialogs.h"
#include "core/EventYield.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "window/Form1.h"
#include "window/RefillChoices.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QElapsedTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 5;
constexpr int kRefreshRuns = 7;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
// Parked copies beyond this many (empty files, which cost only their inodes)
// are deleted after a benchmark; the next one then waits until the freed
// inodes may be used again.
constexpr std::size_t kParkedFileLimit = 300000;
constexpr int kFreedInodeWaitSeconds = 365;

// Does what the window's progress observer does, without the widget: works
// out the bar's text and lets events run at most once a frame.
class TimedObserver final : public CopyRunObserver {
public:
    void RowStarting(int rowNumber, int rowCount, const QString& rowText) override
    {
        ++rows_;
        percent_ = rowCount > 0 ? 100.0 * rowNumber / rowCount : 100.0;
        text_ = QStringLiteral("Processing: ") + FileNameOf(rowText);
        Poll();
    }

    void CopyProgressing(std::uint64_t) override
    {
        ++pieces_;
        Poll();
    }

    long Rows() const { return rows_; }
    long Pieces() const { return pieces_; }

private:
    void Poll() { yield_.Poll(); }

    ThrottledYield yield_;
    long rows_ = 0;
    long pieces_ = 0;
    double percent_ = 0;
    QString text_;
};

long long Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Empties every file in the folder and moves the folder under spent, so the
// folder's name is free for the next run. Nothing is deleted.
bool Park(const fs::path& folder, const fs::path& spent)
{
    std::error_code error;
    if (fs::is_empty(folder, error) || error == std::errc::no_such_file_or_directory)
        return true;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            fs::resize_file(entry.path(), 0, error);
        if (error)
            break;
    }
    static int parked = 0;
    if (!error)
        fs::create_directories(spent, error);
    if (!error)
        fs::rename(folder, spent / (std::to_string(Now()) + '-' + std::to_string(::getpid()) + '-' + std::to_string(++parked)),
                   error);
    if (error)
        std::fprintf(stderr, "cannot park %s: %s\n", folder.c_str(), error.message().c_str());
    return !error;
}

// Parks what the last run left, so both folders are empty and no dirty data
// of ours is left to write back during the run.
bool EmptyFolders(const std::vector<fs::path>& folders, const fs::path& spent)
{
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (!Park(folder, spent))
            return false;
        fs::create_directory(folder, error);
        if (error) {
            std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
            return false;
        }
    }
    ::sync();
    return true;
}

// Deletes the parked copies once there are many, and notes when.
bool TrimSpent(const fs::path& spent, const fs::path& stamp)
{
    std::error_code error;
    std::size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(spent, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        files += it->is_regular_file() ? 1 : 0;
    if (error || files <= kParkedFileLimit)
        return !error || error == std::errc::no_such_file_or_directory;
    std::printf("deleting %zu parked copies under %s: a copy benchmark in the next %d s waits for that\n", files,
                spent.c_str(), kFreedInodeWaitSeconds);
    fs::remove_all(spent, error);
    std::FILE* file = error ? nullptr : std::fopen(stamp.c_str(), "w");
    if (file == nullptr)
        return false;
    std::fprintf(file, "%lld\n", Now());
    std::fclose(file);
    return true;
}

void WaitForFreedInodes(const fs::path& stamp)
{
    std::FILE* file = std::fopen(stamp.c_str(), "r");
    if (file == nullptr)
        return;
    long long deletedAt = 0;
    const bool read = std::fscanf(file, "%lld", &deletedAt) == 1;
    std::fclose(file);
    const long long wait = read ? deletedAt + kFreedInodeWaitSeconds - Now() : 0;
    if (wait <= 0)
        return;
    std::printf("waiting %llds until the inodes freed by the last deletion may be used again\n", wait);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(wait));
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

std::size_t EntriesIn(const fs::path& folder)
{
    std::size_t entries = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it)
        ++entries;
    return entries;
}

// The window's refill over last night's copies, beside rm, cp and sync -f.
int WindowRefresh(const char* name, const fs::path& root, std::size_t expected)
{
    const fs::path source = root / "src";
    const fs::path oursFolder = root / "dst-ours";
    const fs::path peerFolder = root / "dst-cp";
    const fs::path spent = root / "spent";
    WaitForFreedInodes(root / "spent.deleted");
    RefillChoices choices;
    choices.refresh = true;
    if (!SaveRefillChoices(RefillChoicesFile(), choices))
        return 1;
    QuietDialogs dialogs;
    ProcessRandom random;
    Form1 window(dialogs, random, QStringLiteral(QUORVEX_INSTALLED_DIR));
    window.SourceList->Append(QString::fromStdString(source.string()) + u'/');
    window.DestinationList->Append(QString::fromStdString(oursFolder.string()) + u'/');
    window.Text1->setText(QString::number(expected));
    window.show();
    const auto refill = [&] {
        window.PushButton12_Click();
        window.PushButton2_Click();
        const bool done = dialogs.shown == QStringList {QStringLiteral("Done.")};
        dialogs.shown.clear();
        return done;
    };
    const std::string peerPath = peerFolder.string();
    const std::string cp = "cp '" + source.string() + "'/* '" + peerPath + "'/";
    bool allCopied = true;
    std::vector<double> ours;
    std::vector<double> peers;
    std::vector<double> ratios;
    for (int run = 1; run <= kRefreshRuns; ++run) {
        if (!EmptyFolders({oursFolder, peerFolder}, spent))
            return 1;
        // Last night's copies, and their record.
        allCopied = refill() && Spawn({"sh", "-c", cp}) == 0 && allCopied;
        ::sync();
        window.PushButton12_Click();
        bool done = false;
        const auto timeOurs = [&] {
            ours.push_back(Seconds([&] {
                window.PushButton2_Click();
                done = dialogs.shown == QStringList {QStringLiteral("Done.")};
            }));
            dialogs.shown.clear();
        };
        int status = 0;
        const auto timePeer = [&] {
            peers.push_back(Seconds([&] {
                status = Spawn({"sh", "-c", "rm '" + peerPath + "'/*.bin && " + cp + " && sync -f '" + peerPath + "'"});
            }));
        };
        // Each removes thousands of files, which slows whatever creates
        // files just after: each side goes first every other round.
        if (run % 2 == 1) {
            timeOurs();
            timePeer();
        } else {
            timePeer();
            timeOurs();
        }
        // Tonight's copies and the record, no more.
        allCopied = allCopied && done && status == 0 && EntriesIn(oursFolder) == expected + 1
            && EntriesIn(peerFolder) == expected;
        ratios.push_back(ours.back() / peers.back());
        std::printf("run %d: ours %.3fs peer %.3fs\n", run, ours.back(), peers.back());
    }
    QFile::remove(RefillChoicesFile());
    if (!Park(oursFolder, spent) || !Park(peerFolder, spent) || !TrimSpent(spent, root / "spent.deleted"))
        return 1;
    if (!NoDialogsShown(dialogs) || !allCopied) {
        std::printf("a side did not replace exactly the %zu copies\n", expected);
        return 1;
    }
    std::printf("ours: the window's copy command with \"Replace the copies of the last refill\", then \"Done.\"; "
                "peer: rm of last night's copies, cp and sync -f\n");
    const double peer = Median(peers);
    PrintResult(name, Median(ratios) * peer, peer);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s NAME ROOT COUNT\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const bool throughWindow = std::strcmp(name, "copy-window") == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Keeps the user's own settings out of the window's run.
    QStandardPaths::setTestModeEnabled(true);
    const fs::path root = argv[2];
    const std::size_t expected = std::strtoul(argv[3], nullptr, 10);
    const fs::path source = root / "src";
    const fs::path oursFolder = root / "dst-ours";
    const fs::path peerFolder = root / "dst-cp";
    if (std::strcmp(name, "window-refresh") == 0)
        return WindowRefresh(name, root, expected);

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(source))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names.size() != expected || expected == 0) {
        std::fprintf(stderr, "%s holds %zu files, not %zu\n", source.c_str(), names.size(), expected);
        return 1;
    }

    QList<CopyRow> copyRows;
    std::vector<std::string> peerCommand {"cp"};
    if (throughWindow)
        peerCommand.push_back("-p");
    for (const std::string& file : names) {
        const fs::path from = source / file;
        if (!ReadThrough(from.string())) {
            std::fprintf(stderr, "cannot read %s\n", from.c_str());
            return 1;
        }
        copyRows.append(CopyRowTo(QString::fromStdString(from.string()),
                                  QString::fromStdString((oursFolder / file).string())));
        peerCommand.push_back(from.string());
    }
    peerCommand.push_back(peerFolder.string() + "/");
    RowListModel rows(QStringLiteral("Copy list"));
    rows.Append(copyRows);

    const fs::path spent = root / "spent";
    const fs::path stamp = root / "spent.deleted";
    WaitForFreedInodes(stamp);

    // Only the copies should be there: no temporary file, nothing missing;
    // of ours, the first, the last and a few between are read back.
    const auto copiedRight = [&](const fs::path& folder, bool readBack) {
        if (EntriesIn(folder) != expected)
            return false;
        const std::size_t step = std::max<std::size_t>(1, expected / 4);
        for (std::size_t i = 0; readBack && i < expected; i += step) {
            for (std::size_t at : {i, expected - 1 - i}) {
                if (!SameContent((source / names[at]).string(), (folder / names[at]).string())) {
                    std::printf("%s: the copy differs from the source\n", names[at].c_str());
                    return false;
                }
            }
        }
        return true;
    };

    QuietDialogs dialogs;
    ProcessRandom random;
    // Made only where the window's command is timed.
    std::optional<Form1> window;
    if (throughWindow) {
        window.emplace(dialogs, random, QStringLiteral(QUORVEX_INSTALLED_DIR));
        window->CopyList->Append(copyRows);
        window->show();
        QApplication::processEvents();
    }
    // The window's run, which tells of its end in one message.
    const auto clickCopy = [&] {
        window->PushButton2_Click();
        const bool done = dialogs.shown == QStringList {QStringLiteral("Done.")};
        if (done)
            dialogs.shown.clear();
        return done;
    };
    CopyRunSummary summary;
    SystemFlusher flusher;
    QStringList flushFailures;
    bool allCopied = true;
    int peerStatus = 0;
    std::vector<double> oursRuns;
    std::vector<double> peerRuns;
    std::vector<double> oneWorkerRuns;
    double longestGapMs = 0;
    long fewestYields = -1;
    long pieces = 0;
    // Alternating, so a change in the machine's load falls on both sides.
    for (int run = 1; run <= kRuns; ++run) {
        if (!EmptyFolders({oursFolder, peerFolder}, spent))
            return 1;
        TimedObserver observer;
        YieldGaps gaps;
        bool done = true;
        oursRuns.push_back(Seconds([&] {
            gaps.Start();
            if (throughWindow) {
                done = clickCopy();
            } else {
                summary = RunCopyList(rows, observer, dialogs, ProcedureLabels::PushButtonClick(2));
                flushFailures = FlushToDevices(summary.written, flusher);
            }
            gaps.Stop();
        }));
        if (!throughWindow) {
            done = summary.copied == static_cast<int>(expected) && summary.failed == 0 && flushFailures.isEmpty()
                && summary.sameFiles == 0 && observer.Rows() == static_cast<long>(expected);
        }
        allCopied = allCopied && done && copiedRight(oursFolder, true);
        longestGapMs = std::max(longestGapMs, gaps.LongestMs());
        fewestYields = fewestYields < 0 ? gaps.Yields() : std::min(fewestYields, gaps.Yields());
        pieces = observer.Pieces();

        if (!EmptyFolders({oursFolder, peerFolder}, spent))
            return 1;
        peerRuns.push_back(Seconds([&] {
            peerStatus = std::max(peerStatus, Spawn(peerCommand));
            peerStatus = std::max(peerStatus, Spawn({"sync", "-f", peerFolder.string()}));
        }));
        allCopied = allCopied && copiedRight(peerFolder, false);

        // The same engine with one worker: what copying ahead on several gains.
        if (!EmptyFolders({oursFolder, peerFolder}, spent))
            return 1;
        CopyAhead::Limits oneWorker;
        oneWorker.workers = 1;
        oneWorkerRuns.push_back(Seconds([&] {
            if (throughWindow) {
                qputenv("QUORVEX_COPY_WORKERS", "1");
                done = clickCopy();
                qunsetenv("QUORVEX_COPY_WORKERS");
            } else {
                const CopyRunSummary one =
                    RunCopyList(rows, observer, dialogs, ProcedureLabels::PushButtonClick(2), oneWorker);
                done = one.copied == static_cast<int>(expected) && FlushToDevices(one.written, flusher).isEmpty();
            }
        }));
        allCopied = allCopied && done && EntriesIn(oursFolder) == expected;
    }
    if (!Park(oursFolder, spent) || !Park(peerFolder, spent) || !TrimSpent(spent, stamp))
        return 1;

    std::printf("runs (s), ours, peer, ours with one worker:");
    std::vector<double> ratios;
    std::vector<double> oneWorkerRatios;
    for (int run = 0; run < kRuns; ++run) {
        std::printf(" %.3f %.3f %.3f%s", oursRuns[run], peerRuns[run], oneWorkerRuns[run], run + 1 < kRuns ? "," : "\n");
        ratios.push_back(oursRuns[run] / peerRuns[run]);
        oneWorkerRatios.push_back(oneWorkerRuns[run] / peerRuns[run]);
    }
    std::printf("median ratio to the peer with one worker: %.3f\n", Median(oneWorkerRatios));
    if (throughWindow) {
        std::printf("ours: the window's copy command, then \"Done.\"; peer: cp -p of %zu file(s) into an empty "
                    "folder, then sync -f, status %d\n",
                    expected, peerStatus);
    } else {
        std::printf("ours: %d copied and flushed, %d failed; peer: cp of %zu file(s) into an empty folder, then "
                    "sync -f, status %d\n",
                    summary.copied, summary.failed, expected, peerStatus);
    }
    std::printf("progress calls per run: %zu rows, %ld between pieces; yields: at least %ld, at most every %lld ms\n",
                expected, pieces, fewestYields, static_cast<long long>(ThrottledYield::Interval()));
    std::printf("peak memory: %.1f MB\n", PeakMemoryMb());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (!allCopied || peerStatus != 0) {
        std::printf("a side did not copy exactly the %zu files\n", expected);
        return 1;
    }
    std::printf("longest gap between yields: %.1f ms\n", longestGapMs);
    // The median of the paired ratios, each round's two runs side by side.
    const double ratio = Median(ratios);
    const double peer = Median(peerRuns);
    PrintResult(name, ratio * peer, peer);
    return 0;
}
