// Scanning a nested tree for its folders, beside find -type d on the same
// tree. Also reports the longest time the scan kept window events waiting.
//
//   bench_scan ROOT SHAPE   (SHAPE as given to bench_make_tree, e.g. 50x40x24)

#include "BenchSupport.h"

#include "core/EventYield.h"
#include "folders/SubfolderScan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kRuns = 3;

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The folders of a tree of that shape, its root included; 0 if the shape is
// not counts joined by "x".
qsizetype FoldersInShape(const QString& shape)
{
    qsizetype total = 1;
    qsizetype level = 1;
    for (const QString& count : shape.split(u'x')) {
        bool ok = false;
        const qsizetype folders = count.toLongLong(&ok);
        if (!ok || folders <= 0)
            return 0;
        level *= folders;
        total += level;
    }
    return total;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ROOT SHAPE\n", argv[0]);
        return 2;
    }
    QCoreApplication application(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    const qsizetype expected = FoldersInShape(QString::fromLocal8Bit(argv[2]));
    if (expected == 0) {
        std::fprintf(stderr, "SHAPE must be counts joined by x, not %s\n", argv[2]);
        return 2;
    }
    const std::string peerCommand = "find " + ShellQuoted(argv[1]) + " -type d > /dev/null";

    auto runPeer = [&] { RunShellPeer(peerCommand); };
    if (!RunShellPeer(peerCommand)) // warms the cache for both sides
        return 1;

    QuietDialogs dialogs;
    YieldGaps gaps;
    QStringList folders;
    bool countsRight = true;
    double longestGapMs = 0;
    long fewestYields = -1;
    const double ours = BestOf(kRuns, [&] {
        folders = QStringList{root + u'/'};
        gaps.Start();
        GetSubDirectories2016(folders, true, dialogs);
        gaps.Stop();
        countsRight = countsRight && folders.size() == expected;
        longestGapMs = std::max(longestGapMs, gaps.LongestMs());
        fewestYields = fewestYields < 0 ? gaps.Yields() : std::min(fewestYields, gaps.Yields());
    });
    const double peer = BestOf(kRuns, runPeer);

    std::printf("ours: %lld folders found (expected %lld), root first: %s; peer: %s\n",
                static_cast<long long>(folders.size()), static_cast<long long>(expected),
                !folders.isEmpty() && folders.front() == root + u'/' ? "yes" : "no", peerCommand.c_str());
    std::printf("yields per scan: at least %ld, at most every %lld ms\n", fewestYields,
                static_cast<long long>(ThrottledYield::Interval()));
    std::printf("peak memory: %.1f MB\n", PeakMemoryMb());
    if (!NoDialogsShown(dialogs))
        return 1;
    if (!countsRight || folders.isEmpty() || folders.front() != root + u'/') {
        std::printf("the scan did not find exactly the tree's folders\n");
        return 1;
    }
    std::printf("longest gap between yields: %.1f ms\n", longestGapMs);
    PrintResult("scan", ours, peer);
    return 0;
}
